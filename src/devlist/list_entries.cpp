#include "devlist/list_entries.h"

#include <cstring>

#include "platform/kernel.h"

DeviceEntry* makeListEntry(const DeviceEntry& walked, DeviceList* owner, int32_t index) {
    DeviceEntry* entry = static_cast<DeviceEntry*>(platform::HeapAllocZero(sizeof(DeviceEntry)));
    if (entry == nullptr) return nullptr;
    DeviceEntry::copyFrom(&walked, entry);
    if (!copyIsComplete(walked, *entry)) {
        releaseDeviceEntry(entry);
        return nullptr;
    }
    entry->index = index;
    entry->next = nullptr;
    entry->owner = owner;
    return entry;
}

namespace {
const char* descriptionOrMark(const char* text) { return text == nullptr ? "?" : text; }
}  // namespace

bool describesSameDevice(const DeviceEntry& listed, const DeviceEntry& walked) {
    return listed.vendorId == walked.vendorId && listed.productId == walked.productId &&
           listed.bcdDevice == walked.bcdDevice &&
           std::strcmp(descriptionOrMark(listed.manufacturerDescription),
                       descriptionOrMark(walked.manufacturerDescription)) == 0 &&
           std::strcmp(descriptionOrMark(listed.deviceDescription), descriptionOrMark(walked.deviceDescription)) ==
               0 &&
           std::strcmp(descriptionOrMark(listed.serialNumber), descriptionOrMark(walked.serialNumber)) == 0;
}
