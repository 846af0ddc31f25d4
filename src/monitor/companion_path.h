// Where the companion program lies and how entry 0 of its argument vector is
// spelled. Pure text rules, kept apart from the monitor thread so that they
// can be checked on their own.
#pragma once

#include <cstddef>

namespace DeviceChangeMonitor {

// The companion's file name; it lies in the library's own directory.
constexpr char kCompanionFileName[] = "tolvwinusbdevice64.exe";

// Writes the companion's path beside a module into out: the first
// moduleLength characters of modulePath cut just after the last ':', '\' or
// '/' (the separator stays; the very first character is not examined), then
// the companion's file name. Without a separator the result is the bare file
// name. Returns false and leaves out untouched when the result and its
// terminating zero do not fit in outSize characters.
bool companionPathBeside(const char* modulePath, size_t moduleLength, char* out, size_t outSize);

// Writes entry 0 of the argument vector for the program at path into out:
// the path itself, or the path in double quotes when it holds a blank or a
// tab. The system builds the child's command line by joining the entries
// with single blanks and no quoting, so an unquoted blank would split the
// program name and move the action out of place. Returns false and leaves
// out untouched when the result does not fit in outSize characters.
bool programArgument(const char* path, char* out, size_t outSize);

}  // namespace DeviceChangeMonitor
