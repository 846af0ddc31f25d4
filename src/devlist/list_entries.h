// Turning walked entries into list entries, and releasing a walk result.
#pragma once

#include <cstdint>

#include "devlist/device_list.h"
#include "enum/enumeration_result.h"

// A new list entry holding a copy of the walked entry, numbered and owned as
// given and not yet linked; null when the entry or one of its texts could not
// be allocated (nothing is left behind then).
DeviceEntry* makeListEntry(const DeviceEntry& walked, DeviceList* owner, int32_t index);

// Releases a walk result: each of its entries with the texts they hold, then
// the record. Its filter is the caller's and is left alone. The reference is
// cleared.
void releaseWalkResult(EnumerationResult*& result);

// Whether a list entry describes the same device as a walked one: the same
// ids and release number and byte-for-byte the same three description texts
// (a walked entry lacking a text compares as "?", which its copy would hold).
bool describesSameDevice(const DeviceEntry& listed, const DeviceEntry& walked);
