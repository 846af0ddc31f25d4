// Library loading. No module can be loaded yet: "winusb.dll" and its entry
// points arrive with the simulated WinUSB devices.
#include "platform/sim/modules.h"

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/faults.h"

namespace sim {

platform::Module loadedModuleNamed(const char*) { return nullptr; }

}  // namespace sim

namespace platform {

Module LoadLibraryA(const char* name) {
    sim::failHere("LoadLibraryA", name == nullptr ? "(null)" : name);
    SetLastError(kErrorModNotFound);
    return nullptr;
}

void* GetProcAddress(Module, const char* name) {
    sim::failHere("GetProcAddress", name == nullptr ? "(null)" : name);
    SetLastError(kErrorProcNotFound);
    return nullptr;
}

bool FreeLibrary(Module) {
    sim::failHere("FreeLibrary");
    SetLastError(kErrorInvalidHandle);
    return false;
}

}  // namespace platform
