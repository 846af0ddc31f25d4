// The result of one walk of the USB tree: a chain of device entries in
// discovery order. It has the shape of a device list so the registry can
// treat both with the same routines.
#pragma once

#include <cstdint>

#include "base/device_list.h"

struct EnumerationResult {
    int32_t id;               // 0
    int32_t deviceCount;      // 0: consumers count by following the chain
    DeviceFilter* filter;     // null: the walk's filter is activeFilter
    DeviceEntry* firstEntry;  // first entry in discovery order, or null
    DeviceList* next;         // null
};

// Releases a walk result: each of its entries with the texts they hold, then
// the record. Its filter is the caller's and is left alone. The reference is
// cleared.
void releaseWalkResult(EnumerationResult*& result);
