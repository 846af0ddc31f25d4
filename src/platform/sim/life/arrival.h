// Devices that come up in stages when they are plugged in: the USB device
// interface first, the interfaces of the function drivers (HID collections,
// the fixed-class interface) some time later, as the system starts them.
#pragma once

#include <functional>

#include "platform/sim/model/machine.h"

namespace sim {

// How a later stage changes the installed machine (withMachine).
using MachineChange = void (*)(const std::function<void(Machine&)>& change);

// Called with the machine lock held while `after` replaces `before`: each
// device that is new in `after` and has an arrival delay loses its later
// interfaces until the delay has passed (then `change` puts them back).
void stageArrivals(const Machine& before, Machine& after, MachineChange change);

}  // namespace sim
