// The device-list registry. Lists are not kept yet: every list is empty and
// unknown to update and release.
#include "devlist/device_list_registry.h"

#include "jni/status_code.h"

namespace DeviceListRegistry {
namespace {
int32_t nextListId = 0;
}

int32_t create(int32_t) { return nextListId++; }
int32_t update(int32_t) { return NoLists; }
int32_t release(int32_t) { return NoLists; }
DeviceEntry* nextEntry(int32_t, DeviceEntry* previous) { return previous == nullptr ? nullptr : previous->next; }
DeviceEntry* entryAt(int32_t, int32_t) { return nullptr; }
DeviceEntry* findChange(int32_t, int32_t) { return nullptr; }

}  // namespace DeviceListRegistry

void DeviceEntry::copyFrom(const DeviceEntry*, DeviceEntry*) {}
