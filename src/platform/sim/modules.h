// Loadable modules of the simulated machine ("winusb.dll").
#pragma once

#include "platform/types.h"

namespace sim {

// The handle of a module loaded by name and not yet released, or null.
platform::Module loadedModuleNamed(const char* name);

}  // namespace sim
