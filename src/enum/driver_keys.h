// Driver key names: how the host-controller and hub drivers name the device
// behind a controller or a hub port (equal to its SPDRP_DRIVER value).
#pragma once

#include <cstdint>

#include "platform/types.h"

// The driver key name of an open host controller, as narrow text from the
// process heap (release with platform::HeapFreeBlock), or null.
char* getHostControllerDriverKey(platform::Handle hostController);

// The driver key name of the device on a hub port (from 1), as narrow text
// from the process heap, or null.
char* getPortDriverKey(platform::Handle hub, uint32_t port);
