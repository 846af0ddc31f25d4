#include "platform/sim/devices/winusb_calls.h"

#include <cstring>

#include "platform/files.h"

namespace sim {

uint32_t winUsbQueryDeviceInformation(WinUsbDevice& device, uint32_t type, uint32_t* length, void* buffer) {
    constexpr uint32_t kDeviceSpeed = 1;
    // DEVICE_SPEED is the one information type (Microsoft Learn,
    // WinUsb_QueryDeviceInformation). Microsoft documents no answer for a
    // buffer too small for its one byte: refused, with the length needed.
    if (type != kDeviceSpeed || length == nullptr || buffer == nullptr) return platform::kErrorInvalidParameter;
    if (*length < 1) {
        *length = 1;
        return platform::kErrorInsufficientBuffer;
    }
    *static_cast<uint8_t*>(buffer) = device.speed();
    *length = 1;
    return platform::kErrorSuccess;
}

uint32_t winUsbGetDescriptor(WinUsbDevice& device, uint8_t type, uint8_t index, uint16_t language,
                             uint8_t* buffer, uint32_t length, uint32_t* transferred) {
    uint32_t count = 0;
    uint32_t error = device.descriptor(type, index, language, buffer, length, &count);
    if (transferred != nullptr) *transferred = count;
    return error;
}

uint32_t winUsbPipeTransfer(WinUsbDevice& device, bool read, uint8_t pipe, uint8_t* buffer, uint32_t length,
                            uint32_t* transferred, bool overlapped) {
    // Only synchronous transfers are modelled; the system's WinUSB runs an
    // OVERLAPPED one asynchronously. The library never passes one (the
    // README's table of differences).
    if (overlapped) return platform::kErrorNotSupported;
    uint32_t count = 0;
    uint32_t error = read ? device.readPipe(pipe, buffer, length, &count)
                          : device.writePipe(pipe, buffer, length, &count);
    if (transferred != nullptr) *transferred = count;
    return error;
}

uint32_t winUsbControlTransfer(WinUsbDevice& device, const platform::WinUsbSetupPacket& setup, uint8_t* buffer,
                               uint32_t length, uint32_t* transferred, bool overlapped) {
    if (overlapped) return platform::kErrorNotSupported;
    // The data stage of a control transfer is at most 4 KiB; a longer one is
    // refused before anything is sent (Microsoft Learn, WinUsb_ControlTransfer:
    // "the data stage ... cannot exceed 4 KB").
    constexpr uint32_t kMaxControlDataStage = 4096;
    if (setup.Length > kMaxControlDataStage) return platform::kErrorInvalidParameter;
    uint8_t packet[8];
    std::memcpy(packet, &setup, sizeof packet);
    uint32_t count = 0;
    uint32_t error = device.controlTransfer(packet, buffer, length, &count);
    if (transferred != nullptr) *transferred = count;
    return error;
}

}  // namespace sim
