// The bench the desk serves. The loader reads it and leaves its path in the
// prefix's registry when it loads the machine; the programs that serve the
// machine's devices in user mode read the same bench back, so that the bus
// driver's nodes and their own model are one machine.
#pragma once

#include <string>

#include "platform/sim/model/machine.h"

namespace desk {

// The machine of a bench file, or the built-in bench for an empty path.
bool readMachine(const std::string& benchPath, sim::Machine* machine, std::string* error);

// Names the bench the desk now serves ("" for the built-in one).
bool rememberBench(const std::string& benchPath);

// The machine the desk serves, read from the bench the loader named.
bool servedMachine(sim::Machine* machine, std::string* error);

}  // namespace desk
