// The process-wide registry of numbered device lists. A list holds the
// devices of one vendor id; an index, once handed out, names the same device
// for the life of the list.
#pragma once

#include <cstdint>

#include "base/device_entry.h"

namespace DeviceListRegistry {

// What create answers when no list record (or its filter) could be
// allocated: no id is used up and nothing is kept.
constexpr int32_t kNoListMade = -1;

int32_t create(int32_t vendorFilter);  // the new or reused list id, or kNoListMade
int32_t update(int32_t listId);        // 0, ListNotFound or NoLists
int32_t release(int32_t listId);       // 0, ListNotFound or NoLists
DeviceEntry* nextEntry(int32_t listId, DeviceEntry* previous);
DeviceEntry* entryAt(int32_t listId, int32_t position);
// The first entry, in index order, whose presence changed since it was last
// reported; the selector is not used.
DeviceEntry* findChange(int32_t listId, int32_t selector);
// The same entry, marked as reported, so that each change is reported once.
DeviceEntry* takeChange(int32_t listId, int32_t selector);

}  // namespace DeviceListRegistry
