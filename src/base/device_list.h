// A numbered device list and its vendor filter chain. Lists, filter records
// and entries are zero-filled process-heap blocks.
#pragma once

#include <cstdint>

#include "base/device_entry.h"

struct DeviceFilter {
    uint16_t vendorId;   // vendor id to list; kEveryVendor means every vendor
    DeviceFilter* next;  // further filter (never set by this library)
};

// The vendor id of a filter record that lets every vendor through the walk.
constexpr uint16_t kEveryVendor = 0xFFFF;

// The two rules of a filter chain. A list keeps the entries of the vendor
// ids its chain holds exactly; the walk takes a device whose vendor id the
// chain holds, or any device when a record holds kEveryVendor. An empty
// chain holds and accepts nothing.
bool filterHoldsVendor(const DeviceFilter* chain, uint16_t vendorId);
bool filterAcceptsVendor(const DeviceFilter* chain, uint16_t vendorId);

struct DeviceList {
    int32_t id;               // list id handed to the caller; never reused
    int32_t deviceCount;      // walk count at creation plus entries appended since
    DeviceFilter* filter;     // owned; the filter the list was created with
    DeviceEntry* firstEntry;  // owned chain in index order
    DeviceList* next;         // next list of the registry's chain

    // True when a record of the filter chain holds exactly this value.
    bool matchesFilter(uint16_t value) const { return filterHoldsVendor(filter, value); }
};

// Releases a chain of entries with every text they hold; first is cleared.
void releaseEntryChain(DeviceEntry*& first);
// Releases a chain of filter records; first is cleared.
void releaseFilterChain(DeviceFilter*& first);
// Releases a list that is no longer linked anywhere: its filter chain, its
// entries with their texts, then the record itself; the reference is cleared.
void releaseDeviceList(DeviceList*& list);
