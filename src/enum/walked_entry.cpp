// Turning the device on a port into a DeviceEntry: identity, texts from its
// string descriptors, sequence number, interface path, HID path and driver
// service.
#include <cstring>

#include "enum/bounded_text.h"
#include "enum/hid_path.h"
#include "enum/interface_paths.h"
#include "enum/narrow_text.h"
#include "enum/port_data.h"
#include "enum/text_compare.h"
#include "enum/walk_state.h"
#include "platform/crt.h"
#include "platform/kernel.h"
#include "trace/trace_points.h"

namespace {

constexpr size_t kServiceCopySize = 512;  // a longer service name is judged on its first 511 characters

void replaceText(char*& field, const char* text) {
    char* copy = platform::crtDuplicate(text);
    if (copy == nullptr) return;  // the field keeps what it had
    platform::crtFree(field);
    field = copy;
}

DeviceEntry* newEntry(const platform::UsbDeviceDescriptor& descriptor) {
    auto* entry = static_cast<DeviceEntry*>(platform::HeapAllocZero(sizeof(DeviceEntry)));
    if (entry == nullptr) return nullptr;
    std::memcpy(&entry->deviceDescriptor, &descriptor, sizeof descriptor);
    entry->stateA = entry->stateB = entry->present = entry->reportedPresent = 1;
    entry->fileHandle = platform::invalidHandle();
    entry->vendorId = descriptor.idVendor;
    entry->productId = descriptor.idProduct;
    entry->bcdDevice = descriptor.bcdDevice;
    entry->manufacturerDescription = platform::crtDuplicate("?");
    entry->deviceDescription = platform::crtDuplicate("?");
    entry->serialNumber = platform::crtDuplicate("?");
    return entry;
}

// Each string fills the first of manufacturer, product and serial number
// whose index it has; the chain holds every language in turn, so the last
// language wins.
void takeStrings(DeviceEntry* entry, const StringDescriptorNode* chain) {
    const platform::UsbDeviceDescriptor& d = entry->deviceDescriptor;
    char text[kDescriptorTextBufferSize];
    for (const StringDescriptorNode* node = chain; node != nullptr; node = node->next) {
        uint8_t index = node->descriptorIndex;
        if (index == 0) continue;  // the language list
        narrowDescriptorText(node, text);
        if (index == d.iManufacturer) {
            replaceText(entry->manufacturerDescription, text);
        } else if (index == d.iProduct) {
            replaceText(entry->deviceDescription, text);
        } else if (index == d.iSerialNumber) {
            replaceText(entry->serialNumber, text[0] == '\0' ? "?" : text);
        }
    }
}

// The device interface path, narrowed into a C-runtime text; none when the
// path would not survive the narrowing unchanged.
void takeDevicePath(DeviceEntry* entry, const InterfaceNode* node) {
    if (node == nullptr || node->interfaceDetail == nullptr) return;
    const char16_t* path = node->interfaceDetail->DevicePath;
    int32_t length = losslessNarrowLength(path);
    if (length < 0) {
        tracepoint::tag("Ehp53!");
        return;
    }
    tracepoint::bytes(path, static_cast<uint64_t>(length) * 2);
    entry->devicePath = wcstcs(path, 0);
}

void takeHidPath(DeviceEntry* entry) {
    char path[kHidPathBufferSize] = {};
    getHIDPath(entry, path);
    if (path[0] == '\0') return;
    entry->hidPath = platform::crtDuplicate(path);
    if (entry->hidPath != nullptr) entry->isHid = 1;
    tracepoint::text(entry->hidPath, "hidPath");
}

bool supportedService(const char* service) {
    char name[kServiceCopySize] = {};
    boundedCopy(name, sizeof name, service, sizeof name - 1);
    return findNoCase(name, "WinUSB") >= 0 || findNoCase(name, "Hid") >= 0;
}

}  // namespace

void buildDeviceEntry(const PortData& port) {
    DeviceEntry* entry = newEntry(port.connection->DeviceDescriptor);
    if (entry == nullptr) {
        tracepoint::tag("Ehp51!");
        return;
    }
    takeStrings(entry, port.strings);
    entry->sequenceNumber = nextSequenceNumber();
    takeDevicePath(entry, port.interfaceNode);
    takeHidPath(entry);

    const UsbDeviceProperties* properties = port.properties;
    if (properties == nullptr) {
        tracepoint::tag("info->UsbDeviceProperties==null");
    } else if (properties->Service == nullptr) {
        tracepoint::tag("info->UsbDeviceProperties->Service==null");
        if (properties->Description != nullptr) tracepoint::text(properties->Description, "Description");
    } else {
        size_t length = 0;
        boundedLength(properties->Service, kServiceCopySize, &length);
        tracepoint::number(static_cast<int32_t>(length));
        tracepoint::text(properties->Service, "Service");
        entry->driverSupported = supportedService(properties->Service) ? 1 : 0;
        appendToCurrentResult(entry);
        tracepoint::tag("Ehp58");
        return;
    }
    releaseDeviceEntry(entry);
    tracepoint::tag("Ehp59");
}
