// The search for a device's HID interface among the present HID interfaces.
#include "enum/hid_path.h"

#include <cstring>

#include "enum/interface_paths.h"
#include "enum/narrow_text.h"
#include "platform/crt.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

constexpr uint32_t kHidStringBufferBytes = 500;
constexpr size_t kHidTextCapacity = 128;  // at most 127 characters are kept

// The three HID strings of one interface, narrowed; null where the device
// has none. The serial number reads "?" when the device gave an empty one.
struct HidTexts {
    char* manufacturer;
    char* product;
    char* serialNumber;
};

using HidStringCall = bool (*)(platform::Handle, void*, uint32_t);

char* readHidString(platform::Handle device, HidStringCall call, const char* missingTag) {
    // One code unit more than the call may fill, always zero, ends the text
    // even when the HID library filled the buffer completely.
    char16_t buffer[kHidStringBufferBytes / 2 + 1] = {};
    if (!call(device, buffer, kHidStringBufferBytes)) {
        tracepoint::tag(missingTag);
        return nullptr;
    }
    return narrowCopy(buffer, kHidTextCapacity);
}

HidTexts readHidTexts(platform::Handle device) {
    HidTexts texts{};
    texts.manufacturer = readHidString(device, platform::HidD_GetManufacturerString, "mDesc==NULL");
    texts.product = readHidString(device, platform::HidD_GetProductString, "pDesc==NULL");
    char16_t buffer[kHidStringBufferBytes / 2 + 1] = {};
    if (platform::HidD_GetSerialNumberString(device, buffer, kHidStringBufferBytes)) {
        texts.serialNumber = narrowCopy(buffer, kHidTextCapacity);
        if (texts.serialNumber == nullptr || texts.serialNumber[0] == '\0') {
            platform::HeapFreeBlock(texts.serialNumber);
            texts.serialNumber = static_cast<char*>(platform::HeapAllocZero(2));
            if (texts.serialNumber != nullptr) texts.serialNumber[0] = '?';
        }
    } else {
        tracepoint::tag("sDesc==NULL");
    }
    return texts;
}

void releaseHidTexts(HidTexts& texts) {
    platform::HeapFreeBlock(texts.manufacturer);
    platform::HeapFreeBlock(texts.product);
    platform::HeapFreeBlock(texts.serialNumber);
    texts = HidTexts{};
}

bool isUnknown(const char* text) { return std::strcmp(text, "?") == 0; }

bool textMatches(const char* entryText, const char* hidText) {
    return isUnknown(entryText) || std::strcmp(entryText, hidText) == 0;
}

bool belongsToEntry(const DeviceEntry* entry, const platform::HiddAttributes& attributes, const HidTexts& hid) {
    if (entry->manufacturerDescription == nullptr || entry->deviceDescription == nullptr ||
        entry->serialNumber == nullptr || hid.manufacturer == nullptr || hid.product == nullptr ||
        hid.serialNumber == nullptr)
        return false;
    return attributes.VendorID == entry->vendorId && attributes.ProductID == entry->productId &&
           textMatches(entry->manufacturerDescription, hid.manufacturer) &&
           textMatches(entry->deviceDescription, hid.product) && textMatches(entry->serialNumber, hid.serialNumber);
}

void fillUnknown(char*& field, const char* hidText) {
    if (!isUnknown(field)) return;
    char* copy = platform::crtDuplicate(hidText);
    if (copy == nullptr) return;  // the field keeps "?"
    platform::crtFree(field);
    field = copy;
}

// The interface path as the output will hold it: narrowed, whole and with
// its terminator inside kHidPathBufferSize bytes. Null when it cannot be.
char* usablePath(const char16_t* path) {
    int32_t length = losslessNarrowLength(path);
    if (length < 0 || static_cast<size_t>(length) >= kHidPathBufferSize) {
        tracepoint::tag("getHIDPath 14!");
        return nullptr;
    }
    return narrowCopy(path, static_cast<size_t>(length) + 1);
}

// Examines one interface; true when it belongs to the entry, with the path
// copied to output and the entry's unknown texts filled.
bool examineInterface(DeviceEntry* entry, platform::DevInfoSet set, platform::SpDeviceInterfaceData* interface,
                      char* output) {
    uint32_t required = 0;
    platform::SetupDiGetDeviceInterfaceDetailW(set, interface, nullptr, 0, &required, nullptr);
    tracepoint::code(required);
    platform::SpDeviceInterfaceDetailDataW* detail = allocateInterfaceDetail(required);
    if (detail == nullptr) {
        tracepoint::tag("getHIDPath 04!");
        return false;
    }
    if (!platform::SetupDiGetDeviceInterfaceDetailW(set, interface, detail, required, nullptr, nullptr)) {
        tracepoint::tag("getHIDPath 05!");
        platform::HeapFreeBlock(detail);
        return false;
    }
    platform::Handle device =
        platform::CreateFileW(detail->DevicePath, platform::kGenericRead | platform::kGenericWrite, 0, nullptr,
                              platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
    if (!platform::isValidHandle(device)) {
        tracepoint::tag("getHIDPath 07!");
        platform::HeapFreeBlock(detail);
        return false;
    }
    bool matched = false;
    platform::HiddAttributes attributes{};
    attributes.Size = sizeof attributes;
    if (!platform::HidD_GetAttributes(device, &attributes)) {
        tracepoint::tag("getHIDPath 09!");
    } else {
        HidTexts hid = readHidTexts(device);
        if (belongsToEntry(entry, attributes, hid)) {
            tracepoint::tag("getHIDPath 12");
            char* path = usablePath(detail->DevicePath);
            if (path != nullptr) {
                matched = true;
                fillUnknown(entry->manufacturerDescription, hid.manufacturer);
                fillUnknown(entry->deviceDescription, hid.product);
                fillUnknown(entry->serialNumber, hid.serialNumber);
                std::memcpy(output, path, std::strlen(path) + 1);
                tracepoint::text(output, "hidPath");
                platform::HeapFreeBlock(path);
            }
        }
        releaseHidTexts(hid);
    }
    platform::CloseHandle(device);
    platform::HeapFreeBlock(detail);
    return matched;
}

}  // namespace

void getHIDPath(DeviceEntry* entry, char* output) {
    tracepoint::tag("getHIDPath 00");
    if (entry == nullptr || output == nullptr) return;
    platform::Guid hidClass{};
    platform::HidD_GetHidGuid(&hidClass);
    platform::DevInfoSet set = platform::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr,
                                                              platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    if (!platform::isValidHandle(set)) {
        tracepoint::tag("getHIDPath 01!");
        return;
    }
    for (uint32_t i = 0;; ++i) {
        platform::SpDeviceInterfaceData interface{};
        interface.cbSize = sizeof interface;
        if (!platform::SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, i, &interface)) break;
        tracepoint::code(i);
        if (examineInterface(entry, set, &interface, output)) break;
    }
    platform::SetupDiDestroyDeviceInfoList(set);
    tracepoint::tag("getHIDPath 20");
}
