// Turning walked entries into list entries.
#pragma once

#include <cstdint>

#include "base/device_list.h"
#include "base/enumeration_result.h"

// A new list entry holding a copy of the walked entry, numbered and owned as
// given and not yet linked; null when the entry or one of its texts could not
// be allocated (nothing is left behind then).
DeviceEntry* makeListEntry(const DeviceEntry& walked, DeviceList* owner, int32_t index);

// Whether a list entry describes the same device as a walked one: the same
// ids and release number and byte-for-byte the same three description texts
// (a walked entry lacking a text compares as "?", which its copy would hold).
bool describesSameDevice(const DeviceEntry& listed, const DeviceEntry& walked);
