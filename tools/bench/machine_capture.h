// Capture of the machine the program runs on: the USB tree walked through
// the platform boundary with the calls the library makes, kept as the
// simulated machine's model so that it can be written out as a bench.
#pragma once

#include "platform/sim/model/machine.h"

namespace bench_tool {

// Everything the library asks about: host controllers, hubs, ports,
// descriptors, driver keys, SetupAPI properties, interface paths, HID
// interfaces and the devices outside USB. A request that fails is kept as
// the fault that makes it fail the same way. Device traffic is not captured.
sim::Machine captureMachine();

}  // namespace bench_tool
