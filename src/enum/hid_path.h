// The HID interface of a device the walk has just found.
#pragma once

#include <cstddef>

#include "base/device_entry.h"

constexpr size_t kHidPathBufferSize = 512;

// Searches the present HID interfaces, in the system's order, for the first
// that belongs to the entry's device: same vendor and product id, and each of
// the entry's three texts equal to the interface's HID string or "?". A
// HID interface without all three strings, one that cannot be opened
// exclusively, and one whose path cannot be given whole in output never
// match. On a match the path goes into output (kHidPathBufferSize bytes,
// empty on entry) and the entry's "?" texts take the HID strings; otherwise
// output stays empty and the entry unchanged.
void getHIDPath(DeviceEntry* entry, char* output);
