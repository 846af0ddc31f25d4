// Registers the machine's life cycle with the store of the installed
// machine: the machine of first use, and the bench watch the services ask
// for (see model/machine_store.h).
#include "platform/sim/control/sim_control.h"
#include "platform/sim/life/hot_plug.h"
#include "platform/sim/life/installed_machine.h"
#include "platform/sim/model/machine_store.h"

namespace sim {
namespace {

bool registerLife() {
    MachineLife life;
    life.firstMachine = &machineFromEnvironment;
    life.refreshSource = &checkBenchFile;
    life.watchSource = &startBenchWatch;
    registerMachineLife(life);
    return true;
}

}  // namespace

extern const bool kMachineLifeRegistered = registerLife();

}  // namespace sim
