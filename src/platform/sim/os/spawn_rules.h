// How a program is found and what arguments it sees when the simulated
// machine runs it (see spawn.cpp).
#pragma once

#include <string>
#include <vector>

namespace sim {

// The C runtime's splitting of a command line into arguments.
std::vector<std::string> splitCommandLine(const std::string& line);
// The argument vector joined with single blanks, without quoting.
std::string joinArguments(const char* const* argv);
// The host file that runs for a program path (drive paths mapped; ".exe"
// dropped when only the bare name exists).
std::string companionHostPath(const std::string& path);

}  // namespace sim
