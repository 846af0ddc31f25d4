// The result of one walk of the USB tree: a chain of device entries in
// discovery order. It has the shape of a device list so the registry can
// treat both with the same routines.
#pragma once

#include <cstdint>

#include "devlist/device_list.h"

struct EnumerationResult {
    int32_t id;               // 0
    int32_t deviceCount;      // 0: consumers count by following the chain
    DeviceFilter* filter;     // null: the walk's filter is activeFilter
    DeviceEntry* firstEntry;  // first entry in discovery order, or null
    DeviceList* next;         // null
};

// Walks every host controller, hub and port of the machine and returns the
// devices the filter chain accepts (null only when the result itself cannot
// be allocated). The result and its entries become the caller's.
EnumerationResult* enumerateUsbTree(DeviceFilter* filter);

// The walk the device-list registry runs: enumerateUsbTree unless a test
// has put another in its place.
using DeviceWalk = EnumerationResult* (*)(DeviceFilter* filter);
extern DeviceWalk deviceWalk;
