// What a change of the installed machine does: the running devices follow
// the model, and windows hear of the interfaces that went and came.
#pragma once

#include "platform/sim/model/machine.h"

namespace sim {

// Called by installMachine and withMachine, outside the machine lock, one
// change at a time.
void machineChanged(Machine& before, Machine& after);

}  // namespace sim
