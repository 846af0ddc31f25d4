// The top of the USB topology walk, and the walk the device-list registry
// runs.
#pragma once

#include "base/enumeration_result.h"

// Walks every host controller, hub and port of the machine and returns the
// devices the filter chain accepts (null only when the result itself cannot
// be allocated). The result and its entries become the caller's.
EnumerationResult* enumerateUsbTree(DeviceFilter* filter);

// The walk the device-list registry runs: enumerateUsbTree unless a test
// has put another in its place.
using DeviceWalk = EnumerationResult* (*)(DeviceFilter* filter);
extern DeviceWalk deviceWalk;
