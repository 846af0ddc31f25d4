// The file behind an open device: the HID interface path of a HID device,
// the device interface path of a WinUSB device, opened exclusively for
// overlapped I/O.
#include "base/device_entry.h"
#include "platform/usb_requests.h"

namespace {
constexpr uint32_t kDeviceAccess = platform::kGenericRead | platform::kGenericWrite;
constexpr uint32_t kNoSharing = 0;
constexpr uint32_t kDeviceFileFlags = platform::kFileFlagOverlapped | platform::kFileAttributeNormal;
}  // namespace

bool DeviceEntry::openFile() {
    const char* path = isHid == 1 ? hidPath : devicePath;
    if (path == nullptr) {
        fileHandle = platform::invalidHandle();
        return false;
    }
    fileHandle = platform::CreateFileA(path, kDeviceAccess, kNoSharing, nullptr, platform::kOpenExisting,
                                       kDeviceFileFlags, nullptr);
    return platform::isValidHandle(fileHandle);
}

void DeviceEntry::closeFile() {
    if (!platform::isValidHandle(fileHandle)) return;
    platform::CloseHandle(fileHandle);
    fileHandle = platform::invalidHandle();
}
