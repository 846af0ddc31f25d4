// The desk bus's control interface, for the loader and the test programs
// that plug and unplug while the DLL runs, and what SetupAPI shows of the
// machine meanwhile.
#pragma once

#include <guiddef.h>

#include <cstdint>
#include <string>
#include <vector>

namespace desk {

// Sends one request to the bus; false with *error (a Windows error code)
// when there is no bus or it refuses.
bool sendToBus(uint32_t code, const void* input, uint32_t size, uint32_t* error);

// Plugs in (present) or pulls out the device at "CONTROLLER:PORT[.PORT...]",
// such as "0:2.1" (port 1 of the hub on port 2 of controller 0's root hub).
bool plugDevice(const std::string& portPath, bool present, uint32_t* error);

// The device interface classes of the machine the desk serves.
extern const GUID kHostControllerClass;  // GUID_DEVINTERFACE_USB_HOST_CONTROLLER
extern const GUID kHubClass;             // GUID_DEVINTERFACE_USB_HUB
extern const GUID kUsbDeviceClass;       // GUID_DEVINTERFACE_USB_DEVICE
extern const GUID kHidClass;             // GUID_DEVINTERFACE_HID

// How many interfaces of the class SetupAPI lists as present.
int presentInterfaces(const GUID& interfaceClass);

}  // namespace desk
