// The running devices behind the machine model: one WinUsbDevice per WinUSB
// device and one HidDevice per HID interface, made when first opened and
// kept while the model has them, so that every open of a device shares its
// state (looped-back data, buffered reports).
#pragma once

#include <memory>
#include <string>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/devices/hid_device.h"
#include "platform/sim/model/machine.h"
#include "platform/sim/model/machine_index.h"
#include "platform/sim/devices/winusb_device.h"

namespace sim {

// A device whose function driver is WinUSB.
bool drivenByWinUsb(const Device& device);

// What a CreateFile of the target gets for ReadFile, WriteFile and
// WinUsb_Initialize: a WinUSB interface for a device whose service is
// WinUSB, a HID endpoint for a HID interface, nothing for anything else.
// Called with the machine lock held.
std::shared_ptr<FileEndpoint> endpointFor(const Target& target);

// After a change of the machine: devices still there take their new model
// records, devices gone are unplugged and forgotten.
void syncDeviceRuntime(Machine& machine);

// winUsbDeviceAt and hidDeviceAt, for tests, are declared in
// control/sim_control.h.

}  // namespace sim
