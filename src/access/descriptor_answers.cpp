// Descriptor requests, answered from what the listing stored: the device
// descriptor and the three description texts. No request goes to the device.
#include <cstring>

#include "access/bounded_string.h"
#include "access/caller_bytes.h"
#include "access/operation_result.h"
#include "base/status_code.h"

namespace {

constexpr int32_t kDeviceDescriptorType = 1;
constexpr int32_t kStringDescriptorType = 3;
constexpr int32_t kEndpointDescriptorType = 5;

// The text a string kind selects (1 manufacturer, 2 product, 3 serial
// number); false for any other kind.
bool selectText(const DeviceEntry& entry, int32_t stringKind, const char** text) {
    switch (stringKind) {
    case 1: *text = entry.manufacturerDescription; return true;
    case 2: *text = entry.deviceDescription; return true;
    case 3: *text = entry.serialNumber; return true;
    default: return false;
    }
}

}  // namespace

int32_t DeviceEntry::getDescriptor(uint8_t* data, int32_t dataLength, int32_t descriptorType, int32_t stringKind,
                                   int32_t length) {
    if (isOpen != 1) return finishOperation(*this, NotOpen);
    switch (descriptorType) {
    case kDeviceDescriptorType:
        // Exactly 18 bytes, whatever the length asked.
        if (!arrayHolds(data, dataLength, kDeviceDescriptorBytes)) return finishOperation(*this, NoSuchDevice);
        static_assert(sizeof deviceDescriptor == kDeviceDescriptorBytes, "device descriptor");
        std::memcpy(data, &deviceDescriptor, kDeviceDescriptorBytes);
        return finishOperation(*this, Success);
    case kStringDescriptorType: {
        const char* text = nullptr;
        if (!selectText(*this, stringKind, &text)) return finishOperation(*this, NoSuchDevice);
        // A bound below 1 leaves no room even for the zero: nothing is
        // written, though a missing array is still refused.
        if (length <= 0 && data != nullptr) return finishOperation(*this, Success);
        if (!arrayHolds(data, dataLength, length)) return finishOperation(*this, NoSuchDevice);
        copyBoundedString(text, data, length);
        return finishOperation(*this, Success);
    }
    case kEndpointDescriptorType:
        return finishOperation(*this, DescriptorNotSupported);
    default:
        return finishOperation(*this, NoSuchDevice);
    }
}
