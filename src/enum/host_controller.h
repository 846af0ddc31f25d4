// One host controller of the walk: its record, and the root hub behind it.
#pragma once

#include <cstdint>

#include "enum/host_controller_info.h"
#include "platform/types.h"

// Describes the open controller in a new record of hostControllerList and
// walks its root hub. A controller without a driver key name, or with one
// already in the list, is skipped.
void enumerateHostController(platform::Handle hostController, platform::DevInfoSet set,
                             platform::SpDevinfoData* device);

// Fills the six power-map slots (system states 101 to 106); returns the
// system error of the last failed request, or 0.
uint32_t getHostControllerPowerMap(platform::Handle hostController, HostControllerInfo* info);

// Reads the controller information into a new controllerInfo; returns the
// system error, 8 (not enough memory) when the copy cannot be allocated, or 0.
uint32_t getHostControllerInfo(platform::Handle hostController, HostControllerInfo* info);
