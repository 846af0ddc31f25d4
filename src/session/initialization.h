// The initialisation behind usbInitialize: WinUSB loaded into its table and
// the device-change monitor started, both process-wide.
#pragma once

#include <cstdint>

#include "access/winusb_api.h"
#include "platform/types.h"

// The device-change monitor thread started by the latest initialisation.
extern platform::Handle monitorThread;
extern uint32_t monitorThreadId;

// Loads WinUSB into the holder and starts the device-change monitor:
// 0, 1 (no WinUSB, no monitor), ThreadStartFailed or NoApiTable.
int32_t initializeDeviceAccess(WinUsbApi* holder);
