// A numbered device list and its vendor filter chain.
#pragma once

#include <cstdint>

#include "devlist/device_entry.h"

struct DeviceFilter {
    uint16_t vendorId;   // vendor id to list; 0xFFFF means every vendor
    DeviceFilter* next;  // further filter (never set by this library)
};

struct DeviceList {
    int32_t id;               // list id handed to the caller; never reused
    int32_t deviceCount;      // walk count at creation plus entries appended since
    DeviceFilter* filter;     // owned; the filter the list was created with
    DeviceEntry* firstEntry;  // owned chain in index order
    DeviceList* next;         // next list of the registry's chain

    // True when a record of the filter chain holds exactly this value.
    bool matchesFilter(uint16_t value) const;
};
