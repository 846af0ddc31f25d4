// Work done in a second process of the test host, and how a test starts it.
#pragma once

#include <string>
#include <vector>

// Runs a child task (arguments after "--child"); its result is the
// process's exit code.
int runChildTask(int argc, char** argv);

// Starts this program again with "--child" and the arguments, waits for it
// and returns its exit code (-1 when it could not be started).
int runChild(const std::vector<std::string>& arguments);

// The directory this program (and the DLLs beside it) lies in, with a
// trailing separator.
std::string programDirectory();
