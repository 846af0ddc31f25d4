// Loadable modules of the simulated machine ("winusb.dll"): loaded by name
// with reference counts, their entry points found by name.
#pragma once

#include <string>

#include "platform/types.h"

namespace sim {

// The handle of a module loaded by name and not yet released, or null.
platform::Module loadedModuleNamed(const char* name);

// A module made unavailable cannot be loaded (ERROR_MOD_NOT_FOUND); one
// already loaded stays loaded. An entry point made unavailable is not found
// by GetProcAddress (ERROR_PROC_NOT_FOUND).
void setModuleAvailable(const std::string& module, bool available);
void setEntryPointAvailable(const std::string& module, const std::string& entryPoint, bool available);
// Every module and entry point available again; references are kept.
void restoreModules();
// LoadLibraryA references not yet released by FreeLibrary.
int moduleReferences(const std::string& module);

}  // namespace sim
