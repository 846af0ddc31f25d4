// Overlapped I/O and events of the simulated machine: not simulated yet.
#include "platform/files.h"

#include "platform/sim/faults.h"

namespace platform {

bool ReadFile(Handle, void*, uint32_t, uint32_t*, Overlapped*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool WriteFile(Handle, const void*, uint32_t, uint32_t*, Overlapped*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool GetOverlappedResult(Handle, Overlapped*, uint32_t*, bool) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool CancelIo(Handle) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
Handle CreateEventW(void*, bool, bool, const char16_t*) {
    SetLastError(kErrorNotSupported);
    return nullptr;
}
bool SetEvent(Handle) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
uint32_t WaitForSingleObject(Handle, uint32_t) {
    SetLastError(kErrorInvalidHandle);
    return kWaitFailed;
}

}  // namespace platform
