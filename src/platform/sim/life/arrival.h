// Devices that come up in stages when they are plugged in: the USB device
// interface first, the interfaces of the function drivers (HID collections,
// the fixed-class interface) some time later, as the system starts them.
#pragma once

#include "platform/sim/model/machine.h"

namespace sim {

// Called with the machine lock held while `after` replaces `before`: each
// device that is new in `after` and has an arrival delay loses its later
// interfaces until the delay has passed (then withMachine puts them back).
void stageArrivals(const Machine& before, Machine& after);

}  // namespace sim
