// The process-wide registry of numbered device lists. A list holds the
// devices of one vendor id; an index, once handed out, names the same device
// for the life of the list.
#pragma once

#include <cstdint>

#include "devlist/device_entry.h"

namespace DeviceListRegistry {

int32_t create(int32_t vendorFilter);  // the new or reused list id
int32_t update(int32_t listId);        // 0, ListNotFound or NoLists
int32_t release(int32_t listId);       // 0, ListNotFound or NoLists
DeviceEntry* nextEntry(int32_t listId, DeviceEntry* previous);
DeviceEntry* entryAt(int32_t listId, int32_t position);
DeviceEntry* findChange(int32_t listId, int32_t selector);

}  // namespace DeviceListRegistry
