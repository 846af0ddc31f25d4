// What the list operations cost over machines of 1 to 500 devices: a whole
// walk (list made and released), an update that finds nothing changed, and
// an update that finds a device gone or come together with reading the
// change record. Platform calls are counted once per case through the call
// journal, outside the timed loop.
#include <benchmark/benchmark.h>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "perf_machines.h"
#include "platform/sim/control/sim_control.h"

namespace {

// Platform calls made by one run of the operation.
template <typename Operation>
double callsOf(Operation operation) {
    sim::startJournal();
    operation();
    size_t calls = sim::journal().size();
    sim::stopJournal();
    return static_cast<double>(calls);
}

void setCounters(benchmark::State& state, int devices, double calls) {
    state.counters["devices"] = devices;
    state.counters["calls"] = calls;
    state.counters["callsPerDevice"] = calls / devices;
}

void walkOnce() {
    int32_t listId = DeviceListRegistry::create(0xFFFF);
    DeviceListRegistry::release(listId);
}

void BM_Walk(benchmark::State& state) {
    int devices = static_cast<int>(state.range(0));
    releaseWalkState();
    sim::installMachine(perfmachines::machineOf(devices));
    double calls = callsOf(walkOnce);
    for (auto _ : state) walkOnce();
    setCounters(state, devices, calls);
    releaseWalkState();
}
BENCHMARK(BM_Walk)->Arg(1)->Arg(10)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_UpdateUnchanged(benchmark::State& state) {
    int devices = static_cast<int>(state.range(0));
    releaseWalkState();
    sim::installMachine(perfmachines::machineOf(devices));
    int32_t listId = DeviceListRegistry::create(0xFFFF);
    double calls = callsOf([listId] { DeviceListRegistry::update(listId); });
    for (auto _ : state) benchmark::DoNotOptimize(DeviceListRegistry::update(listId));
    setCounters(state, devices, calls);
    DeviceListRegistry::release(listId);
    releaseWalkState();
}
BENCHMARK(BM_UpdateUnchanged)->Arg(10)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

// Each iteration takes the first device off (or puts it back), updates the
// list and reads the one change record that gives.
void BM_UpdateWithChange(benchmark::State& state) {
    int devices = static_cast<int>(state.range(0));
    releaseWalkState();
    sim::Machine machine = perfmachines::machineOf(devices);
    sim::Device first = *sim::findDevice(machine, perfmachines::kVendor, 1);
    sim::installMachine(machine);
    int32_t listId = DeviceListRegistry::create(0xFFFF);
    const std::vector<uint32_t> port = {0, 1, 1};
    bool plugged = true;
    for (auto _ : state) {
        state.PauseTiming();
        if (plugged)
            sim::unplugDevice(port);
        else
            sim::plugDevice(port, first);
        plugged = !plugged;
        state.ResumeTiming();
        DeviceListRegistry::update(listId);
        DeviceEntry* changed = DeviceListRegistry::findChange(listId, 0);
        if (changed == nullptr) {
            state.SkipWithError("an update after a plug found no change");
            break;
        }
        // Marked as reported, as reading its change record does.
        changed->reportedPresent = changed->present;
    }
    state.counters["devices"] = devices;
    DeviceListRegistry::release(listId);
    if (!plugged) sim::plugDevice(port, first);
    releaseWalkState();
}
BENCHMARK(BM_UpdateWithChange)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
