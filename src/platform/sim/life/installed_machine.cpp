#include "platform/sim/life/installed_machine.h"

#include <cstdio>
#include <mutex>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/life/arrival.h"
#include "platform/sim/life/host_settings.h"
#include "platform/sim/life/machine_changes.h"
#include "platform/sim/model/bench.h"
#include "platform/sim/model/machine_store.h"

namespace sim {
namespace {

// Serialises changes with their hot-plug effects, so that these follow the
// changes one at a time and in order.
std::mutex& changeLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

}  // namespace

Machine machineFromEnvironment() {
    std::string path = benchFileFromEnvironment();
    if (path.empty()) return defaultBench();
    Machine machine;
    std::string error;
    if (!loadBenchFile(path, &machine, &error)) {
        std::fprintf(stderr, "simulated USB machine: bench refused: %s\n", error.c_str());
        machine = Machine();
    }
    return machine;
}

void installMachine(Machine machine) {
    std::lock_guard<std::mutex> changing(changeLock());
    StoredMachine& m = storedMachine();
    Machine before, after;
    bool wasLoaded;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        wasLoaded = m.loaded;
        if (wasLoaded) {
            before = m.machine;
            stageArrivals(before, machine, &withMachine);
        }
        replaceStoredMachine(m, std::move(machine));
        if (wasLoaded) after = m.machine;
    }
    if (wasLoaded) machineChanged(before, after);
}

void installDefaultBench() { installMachine(defaultBench()); }

bool installBenchFile(const std::string& path, std::string* error) {
    Machine machine;
    if (!loadBenchFile(path, &machine, error)) return false;
    installMachine(std::move(machine));
    return true;
}

void installFromEnvironment() {
    StoredMachine& m = storedMachine();
    std::lock_guard<std::mutex> guard(m.lock);
    replaceStoredMachine(m, machineFromEnvironment());
}

void withMachine(const std::function<void(Machine&)>& change) {
    std::lock_guard<std::mutex> changing(changeLock());
    StoredMachine& m = storedMachine();
    Machine before, after;
    {
        std::lock_guard<std::mutex> guard(m.lock);
        loadOnFirstUse(m);
        before = m.machine;
        if (change) change(m.machine);
        stageArrivals(before, m.machine, &withMachine);
        m.index.rebuild(m.machine);
        after = m.machine;
    }
    machineChanged(before, after);
}

Machine machineCopy() {
    LockedMachine locked;
    return locked.machine();
}

std::string benchFileFromEnvironment() { return hostSetting(HostSetting::BenchFile); }

}  // namespace sim
