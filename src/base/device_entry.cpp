// Copy and release of device entries. Walked entries and list entries are
// zero-filled process-heap blocks; the texts they hold are C-runtime
// allocations, each owned by exactly one entry.
#include "base/device_entry.h"

#include <cstring>

#include "platform/crt.h"
#include "platform/kernel.h"

namespace {

// A fresh copy of a text the entry may lack: none stays none.
char* copyOptionalText(const char* text) { return text == nullptr ? nullptr : platform::crtDuplicate(text); }

// A fresh copy of a description text; a device that supplied none reads "?".
char* copyDescriptionText(const char* text) { return platform::crtDuplicate(text == nullptr ? "?" : text); }

}  // namespace

void DeviceEntry::copyFrom(const DeviceEntry* source, DeviceEntry* destination) {
    if (source == nullptr || destination == nullptr) return;

    destination->devicePath = copyOptionalText(source->devicePath);
    destination->hidPath = copyOptionalText(source->hidPath);

    destination->isOpen = source->isOpen;
    destination->fileHandle = source->fileHandle;
    destination->winUsbHandle = source->winUsbHandle;
    destination->isHid = source->isHid;
    destination->lastResult = source->lastResult;
    destination->lastError = source->lastError;

    destination->vendorId = source->vendorId;
    destination->productId = source->productId;
    destination->bcdDevice = source->bcdDevice;

    destination->manufacturerDescription = copyDescriptionText(source->manufacturerDescription);
    destination->deviceDescription = copyDescriptionText(source->deviceDescription);
    destination->serialNumber = copyDescriptionText(source->serialNumber);

    destination->sequenceNumber = source->sequenceNumber;
    destination->driverSupported = source->driverSupported;
    std::memcpy(&destination->deviceDescriptor, &source->deviceDescriptor, sizeof destination->deviceDescriptor);

    destination->stateA = source->stateA;
    destination->stateB = source->stateB;
    destination->present = source->present;
    destination->reportedPresent = source->reportedPresent;
}

bool copyIsComplete(const DeviceEntry& source, const DeviceEntry& copy) {
    if (source.devicePath != nullptr && copy.devicePath == nullptr) return false;
    if (source.hidPath != nullptr && copy.hidPath == nullptr) return false;
    return copy.manufacturerDescription != nullptr && copy.deviceDescription != nullptr &&
           copy.serialNumber != nullptr;
}

void releaseDeviceEntry(DeviceEntry*& entry) {
    if (entry == nullptr) return;
    platform::crtFree(entry->devicePath);
    platform::crtFree(entry->hidPath);
    platform::crtFree(entry->manufacturerDescription);
    platform::crtFree(entry->deviceDescription);
    platform::crtFree(entry->serialNumber);
    platform::HeapFreeBlock(entry);
    entry = nullptr;
}
