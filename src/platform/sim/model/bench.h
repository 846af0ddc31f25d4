// Bench files: simulated machines written as JSON (the format is described
// in the README). A bench with an error is refused with a message that
// names the file, the line and the problem.
#pragma once

#include <string>

#include "platform/sim/model/machine.h"

namespace sim {

// Reads a machine from bench text; fileName only serves the messages.
// False with *error set ("bench.json:12: ...") when the text is refused.
bool parseBench(const std::string& text, const std::string& fileName, Machine* machine, std::string* error);
bool loadBenchFile(const std::string& path, Machine* machine, std::string* error);

// The built-in bench: a realistic machine of devices (see the README).
const std::string& defaultBenchText();
Machine defaultBench();

}  // namespace sim
