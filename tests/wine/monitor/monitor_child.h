// The second process of the monitor tests: this program started again with
// kMonitorChildOption and the directory the DLL and the companion lie in.
#pragma once

#include <string>

constexpr char kMonitorChildOption[] = "--monitor-child";

// Loads the DLL from the directory (named without a trailing separator) and drives its
// monitor; the result is the process's exit code.
int monitorChild(const std::string& directory);
