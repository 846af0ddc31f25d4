// Masking of serial numbers in a captured machine, for benches that are
// shared beyond the machine they were taken from.
#pragma once

#include "platform/sim/model/machine.h"

namespace bench_tool {

// Replaces each device's serial-number string, in every language, by
// "SERIAL" and a number of its own, and that serial wherever it also shows
// (instance ids, interface paths, HID serial strings and paths).
void maskSerials(sim::Machine* machine);

}  // namespace bench_tool
