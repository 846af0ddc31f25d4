// Opening paths and USB requests on the simulated machine. Nothing can be
// opened on it yet.
#include "platform/usb_requests.h"

#include "platform/files.h"
#include "platform/sim/faults.h"

namespace platform {

Handle CreateFileA(const char* path, uint32_t, uint32_t, void*, uint32_t, uint32_t, Handle) {
    sim::failHere("CreateFileA", path == nullptr ? "(null)" : path);
    SetLastError(kErrorFileNotFound);
    return invalidHandle();
}
Handle CreateFileW(const char16_t*, uint32_t, uint32_t, void*, uint32_t, uint32_t, Handle) {
    sim::failHere("CreateFileW");
    SetLastError(kErrorFileNotFound);
    return invalidHandle();
}
bool DeviceIoControl(Handle, uint32_t, void*, uint32_t, void*, uint32_t, uint32_t*, Overlapped*) {
    sim::failHere("DeviceIoControl");
    SetLastError(kErrorInvalidHandle);
    return false;
}

}  // namespace platform
