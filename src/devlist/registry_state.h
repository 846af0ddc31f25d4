// The registry's process-wide state, shared by its operations. Plain
// globals without a lock: the library is called from one thread at a time.
#pragma once

#include <cstdint>

#include "base/device_list.h"

namespace DeviceListRegistry {

extern DeviceList* firstList;  // head of the chain of lists, or null
extern int32_t nextListId;     // id of the next new list; only grows

// The first list with that id, or null.
DeviceList* findList(int32_t listId);
// Links a list at the end of the chain.
void appendList(DeviceList* list);

}  // namespace DeviceListRegistry
