// The sequence of native calls the Wine desk's comparison makes on both
// sides: the real DLL over the Wine desk, and the same 19 methods linked
// over the simulated stack. It prints one line per answer, each naming what
// it answers, so that the two outputs compare as sorted sets of lines (Wine
// lists host controllers in an order of its own; only the order may
// differ):
//   - the lists for 0xFFFF, 0x0000 and each vendor present, record by record;
//   - every listed device the library drives (HID and WinUSB) opened: the
//     result, and for a device that opens its device descriptor and its
//     three texts; on a WinUSB device also a vendor request out and back,
//     the device descriptor asked of the device, a bulk write and read on
//     endpoint 1 and an abort of its IN pipe;
//   - the trace of the 0xFFFF list's creation;
//   - a listed device that is not a HID device (the one whose record sorts
//     first) pulled out and plugged in again: after each, the companion's
//     runs, every list's change records and records, and the trace of the
//     0xFFFF list's update.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/model/machine.h"
#include "tamberlyx_dll.h"

struct DeskHands {
    // Pulls out (present false) or plugs back the device at the location
    // ({controller index, port, port, ...}); returns once the machine's
    // device interfaces show the change. False when that did not happen.
    std::function<bool(const std::vector<uint32_t>& location, bool present)> plug;
    // The companion's runs so far, oldest first, each as "<argument count>
    // <first argument>".
    std::function<std::vector<std::string>()> companionRuns;
};

// Runs the sequence over the machine the methods see, described by
// `machine`; 0, or 1 when a step could not be made.
int runSequence(const TamberlyxDll& methods, const sim::Machine& machine, const DeskHands& hands);
