// The machine the simulated platform answers for, process-wide.
//
// On first use it is the bench file named by the environment variable
// TAMBERLYX_BENCH, or the built-in default bench when none is named. Tests
// install their own machine; hot-plug replaces it. Every platform call
// looks at the machine under one lock.
#pragma once

#include <functional>
#include <string>

#include "platform/sim/model/machine.h"

namespace sim {

// Replaces the installed machine. Handles and device information sets
// taken earlier stay valid as handles; requests on a handle whose object is
// gone from the new machine fail with ERROR_DEVICE_NOT_CONNECTED.
void installMachine(Machine machine);
void installDefaultBench();
// Reads a bench file and installs its machine; false with *error set (and
// the installed machine unchanged) when the file is refused.
bool installBenchFile(const std::string& path, std::string* error);
// What first use does: the bench named by TAMBERLYX_BENCH, else the default
// bench. A named bench that is refused leaves a machine without USB
// devices, and the reason is written to the standard error stream.
void installFromEnvironment();
// Runs the function on the installed machine under its lock and re-reads
// the machine's structure afterwards. The function must not call platform
// operations.
void withMachine(const std::function<void(Machine&)>& change);
// A copy of the installed machine.
Machine machineCopy();

// The bench file named by TAMBERLYX_BENCH ("" when none).
std::string benchFileFromEnvironment();

}  // namespace sim
