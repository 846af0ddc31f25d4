// The machine's life cycle from its first use: which machine is installed
// and how a change of it takes effect (the operations are declared in
// control/sim_control.h).
#pragma once

#include "platform/sim/model/machine.h"

namespace sim {

// What first use installs: the bench named by TAMBERLYX_BENCH, else the
// default bench. A named bench that is refused gives a machine without USB
// devices, and the reason is written to the standard error stream.
Machine machineFromEnvironment();

}  // namespace sim
