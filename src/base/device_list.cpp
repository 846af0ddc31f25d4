// Vendor filter matching and the release of what a device list owns.
#include "base/device_list.h"

#include "platform/kernel.h"

bool filterHoldsVendor(const DeviceFilter* chain, uint16_t vendorId) {
    for (const DeviceFilter* record = chain; record != nullptr; record = record->next)
        if (record->vendorId == vendorId) return true;
    return false;
}

bool filterAcceptsVendor(const DeviceFilter* chain, uint16_t vendorId) {
    for (const DeviceFilter* record = chain; record != nullptr; record = record->next)
        if (record->vendorId == kEveryVendor || record->vendorId == vendorId) return true;
    return false;
}

void releaseEntryChain(DeviceEntry*& first) {
    while (first != nullptr) {
        DeviceEntry* entry = first;
        first = entry->next;
        releaseDeviceEntry(entry);
    }
}

void releaseFilterChain(DeviceFilter*& first) {
    while (first != nullptr) {
        DeviceFilter* record = first;
        first = record->next;
        platform::HeapFreeBlock(record);
    }
}

void releaseDeviceList(DeviceList*& list) {
    if (list == nullptr) return;
    releaseFilterChain(list->filter);
    releaseEntryChain(list->firstEntry);
    platform::HeapFreeBlock(list);
    list = nullptr;
}
