// Opening controllers, hubs and devices by path, and the buffered I/O
// controls of the USB drivers, passed straight to the system.
#include "platform/usb_requests.h"

#include "platform/win32/windows_api.h"

namespace platform {

Handle CreateFileA(const char* path, uint32_t access, uint32_t shareMode, void* security, uint32_t disposition,
                   uint32_t flags, Handle templateFile) {
    return ::CreateFileA(path, access, shareMode, static_cast<SECURITY_ATTRIBUTES*>(security), disposition, flags,
                         templateFile);
}

Handle CreateFileW(const char16_t* path, uint32_t access, uint32_t shareMode, void* security, uint32_t disposition,
                   uint32_t flags, Handle templateFile) {
    return ::CreateFileW(win32::wide(path), access, shareMode, static_cast<SECURITY_ATTRIBUTES*>(security),
                         disposition, flags, templateFile);
}

bool CloseHandle(Handle handle) { return ::CloseHandle(handle) != FALSE; }

bool DeviceIoControl(Handle device, uint32_t code, void* inBuffer, uint32_t inSize, void* outBuffer,
                     uint32_t outSize, uint32_t* bytesReturned, Overlapped* overlapped) {
    return win32::withCount(bytesReturned, [&](DWORD* returned) {
        return ::DeviceIoControl(device, code, inBuffer, inSize, outBuffer, outSize, returned,
                                 win32::systemOverlapped(overlapped)) != FALSE;
    });
}

}  // namespace platform
