// Plugging and unplugging devices while a program runs.
//
// Every change of the installed machine is a hot-plug: installMachine,
// withMachine, plugDevice and unplugDevice, and a rewritten bench file.
// Devices that went are unplugged (their open handles fail, blocked
// transfers end); every window registered for device interfaces gets
// WM_DEVICECHANGE with DBT_DEVICEREMOVECOMPLETE for each interface that
// went and DBT_DEVICEARRIVAL for each that came, and every top-level window
// gets DBT_DEVNODES_CHANGED.
//
// The bench file (TAMBERLYX_BENCH, or the one given to watchBenchFile) is
// read again when it changes: looked at by every SetupDiGetClassDevsW, so
// that a walk right after a rewrite sees the new machine, and every 50 ms
// while any window is registered for device notifications. A bench file with
// an error keeps the machine as it was and says why on standard error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/model/machine.h"

namespace sim {

// What a change of the installed machine does (installMachine and
// withMachine call it, outside the machine lock, one change at a time).
void machineChanged(Machine& before, Machine& after);

// Installs the machine of a bench file and watches that file from now on.
// False with *error set when the file is refused (nothing changes then).
bool watchBenchFile(const std::string& path, std::string* error);
// Stops watching any bench file (the machine stays as it is).
void unwatchBenchFile();
// Reads the watched bench file again if it changed since it was last read;
// true when that replaced the machine.
bool checkBenchFile();
// Starts the thread that looks at the bench file while windows listen for
// device notifications (RegisterDeviceNotificationW does this).
void startBenchWatch();

// Puts a device on a port (location as findPort takes it: controller index,
// then port numbers from 1 down through hubs), replacing what was there.
// False when there is no such port.
bool plugDevice(const std::vector<uint32_t>& location, const Device& device);
// Takes the device off the port; false when there was none.
bool unplugDevice(const std::vector<uint32_t>& location);

}  // namespace sim
