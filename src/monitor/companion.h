// The companion program that the monitor runs on every device arrival and
// removal, with the action "add" or "remove", waiting for it to end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace DeviceChangeMonitor {

constexpr size_t kCompanionPathSize = 512;

// What is run: the program's path, and entry 0 of the argument vector (the
// program as the child sees it; room for two quotes beyond the path).
struct CompanionCommand {
    char path[kCompanionPathSize];
    char program[kCompanionPathSize + 2];
};

// The companion's place when the library's own path cannot be had.
void useDefaultCompanion(CompanionCommand& command);

// Points the command at the companion in the library's own directory. When
// the library's module or path cannot be had, or its directory is too long
// for the path buffer, the command is left as it was.
void locateCompanionBesideLibrary(CompanionCommand& command);

// Runs the companion with the action and waits for it to end. The argument
// vector holds the program and the action only. Returns the child's exit
// code, or -1 when it could not be started; the monitor ignores it.
intptr_t runCompanion(const CompanionCommand& command, const char* action);

}  // namespace DeviceChangeMonitor
