// The registry's chain of lists: lookups and release. Creation and refresh
// live in device_list_create.cpp and device_list_update.cpp.
#include "devlist/device_list_registry.h"

#include "base/status_code.h"
#include "devlist/registry_state.h"

namespace DeviceListRegistry {

DeviceList* firstList = nullptr;
int32_t nextListId = 0;

DeviceList* findList(int32_t listId) {
    for (DeviceList* list = firstList; list != nullptr; list = list->next)
        if (list->id == listId) return list;
    return nullptr;
}

void appendList(DeviceList* list) {
    list->next = nullptr;
    if (firstList == nullptr) {
        firstList = list;
        return;
    }
    DeviceList* last = firstList;
    while (last->next != nullptr) last = last->next;
    last->next = list;
}

int32_t release(int32_t listId) {
    if (firstList == nullptr) return NoLists;
    DeviceList* previous = nullptr;
    for (DeviceList* list = firstList; list != nullptr; previous = list, list = list->next) {
        if (list->id != listId) continue;
        if (previous == nullptr)
            firstList = list->next;
        else
            previous->next = list->next;
        releaseDeviceList(list);
        return Success;
    }
    return ListNotFound;
}

DeviceEntry* nextEntry(int32_t listId, DeviceEntry* previous) {
    if (previous != nullptr) return previous->next;
    DeviceList* list = findList(listId);
    return list == nullptr ? nullptr : list->firstEntry;
}

DeviceEntry* entryAt(int32_t listId, int32_t position) {
    DeviceList* list = findList(listId);
    if (list == nullptr || position < 0) return nullptr;
    DeviceEntry* entry = list->firstEntry;
    for (int32_t count = 0; entry != nullptr && count != position; ++count) entry = entry->next;
    return entry;
}

// The first entry, in index order, whose presence differs from what was last
// reported; the selector plays no part.
DeviceEntry* findChange(int32_t listId, int32_t) {
    DeviceList* list = findList(listId);
    if (list == nullptr) return nullptr;
    for (DeviceEntry* entry = list->firstEntry; entry != nullptr; entry = entry->next)
        if (entry->present != entry->reportedPresent) return entry;
    return nullptr;
}

DeviceEntry* takeChange(int32_t listId, int32_t selector) {
    DeviceEntry* entry = findChange(listId, selector);
    if (entry != nullptr) {
        entry->reportedPresent = entry->present;
        entry->stateB = 1;
    }
    return entry;
}

}  // namespace DeviceListRegistry
