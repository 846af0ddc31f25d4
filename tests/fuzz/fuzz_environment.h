// A private corner of the simulated machine for one fuzzing process: its
// own drives, trace words and configuration files, so that runs never meet
// each other or a test running beside them, and everything goes when the
// process ends.
#pragma once

#include <string>

namespace fuzz {

// Prepares the corner once (later calls do nothing): a fresh scratch
// directory, the machine-wide trace words under a name of this process,
// a fixed tick count and an empty machine.
void prepareEnvironment();

// Whether the trace key file is present (the drive the library sees is
// switched), and whether the configuration file beside the library holds
// "useinfguid" (the library's path is switched).
void selectTraceKey(bool present);
void selectUseInfGuid(bool present);

}  // namespace fuzz
