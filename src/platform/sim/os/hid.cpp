// The HID library of the simulated machine: attributes and strings of an
// open HID interface.
#include "platform/hid.h"

#include <cstring>
#include <optional>

#include "platform/files.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/model/machine.h"
#include "platform/sim/model/text.h"
#include "platform/sim/os/usb_handles.h"

namespace sim {
namespace {

std::string handleText(platform::Handle handle) {
    char text[32];
    std::snprintf(text, sizeof text, "handle=%p", handle);
    return text;
}

bool failWith(uint32_t error) {
    platform::SetLastError(error);
    return false;
}

// Runs the answer on the HID interface behind the handle; false with the
// error when the handle is not an open HID interface of the machine.
template <typename Answer>
bool withHidInterface(platform::Handle handle, Answer answer) {
    std::shared_ptr<UsbOpenObject> open = findUsbOpen(handle);
    if (!open) return failWith(platform::kErrorInvalidHandle);
    if (open->kind != TargetKind::HidInterface) return failWith(kErrorInvalidFunction);
    LockedMachine locked;
    const Target* target = targetOf(locked, *open);
    if (target == nullptr || target->hid == nullptr) return failWith(platform::kErrorDeviceNotConnected);
    return answer(*target->hid);
}

// The string as the HID class driver gives it: UTF-16 with a terminator,
// cut to fit the buffer (the terminator always written).
bool answerString(const char* operation, platform::Handle handle, void* buffer, uint32_t bufferLength,
                  std::optional<std::string> HidInterface::*field) {
    if (failHere(operation, handleText(handle) + " length=" + std::to_string(bufferLength))) return false;
    return withHidInterface(handle, [&](HidInterface& hid) {
        if (hid.stringsError != 0) return failWith(hid.stringsError);
        const std::optional<std::string>& text = hid.*field;
        if (!text) return failWith(platform::kErrorGenFailure);
        if (buffer == nullptr || bufferLength < 2) return failWith(kErrorInvalidUserBuffer);
        std::u16string units = utf8ToUtf16(*text);
        size_t room = bufferLength / 2 - 1;
        if (units.size() > room) units.resize(room);
        units.push_back(0);
        std::memcpy(buffer, units.data(), 2 * units.size());
        return true;
    });
}

}  // namespace
}  // namespace sim

namespace platform {

void HidD_GetHidGuid(Guid* guid) {
    sim::failHere("HidD_GetHidGuid");
    if (guid != nullptr) *guid = kGuidDevinterfaceHid;
}

bool HidD_GetAttributes(Handle device, HiddAttributes* attributes) {
    if (sim::failHere("HidD_GetAttributes", sim::handleText(device))) return false;
    return sim::withHidInterface(device, [&](sim::HidInterface& hid) {
        if (hid.attributesError != 0) return sim::failWith(hid.attributesError);
        if (attributes == nullptr) return sim::failWith(kErrorInvalidParameter);
        attributes->Size = sizeof(HiddAttributes);
        attributes->VendorID = hid.vendorId;
        attributes->ProductID = hid.productId;
        attributes->VersionNumber = hid.versionNumber;
        return true;
    });
}

bool HidD_GetManufacturerString(Handle device, void* buffer, uint32_t bufferLength) {
    return sim::answerString("HidD_GetManufacturerString", device, buffer, bufferLength,
                             &sim::HidInterface::manufacturer);
}

bool HidD_GetProductString(Handle device, void* buffer, uint32_t bufferLength) {
    return sim::answerString("HidD_GetProductString", device, buffer, bufferLength, &sim::HidInterface::product);
}

bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t bufferLength) {
    return sim::answerString("HidD_GetSerialNumberString", device, buffer, bufferLength,
                             &sim::HidInterface::serialNumber);
}

}  // namespace platform
