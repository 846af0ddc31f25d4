// What the Wine desk's test programs share: Tamberlyx.dll loaded as a JVM
// loads it, a listed device found by its product, the runs of the recording
// companion beside it, and a report of steps.
#pragma once

#include <string>
#include <vector>

#include "fake_jvm.h"
#include "tamberlyx_dll.h"

// Tamberlyx.dll beside this program with its methods resolved, or null
// after saying on the standard error stream why not.
TamberlyxDll* loadTamberlyx(const char* program);

// The index of the device of a list whose record names this product, or -1.
jint indexOfProduct(const TamberlyxDll& methods, FakeJvm& jvm, jint list, const std::string& product);

// The recording companion beside this program logs its runs to
// companion.log there: logCompanionRuns empties that file and names it to
// the children of this process (call it before the monitor starts);
// companionRuns reads it, one run a line, "<argument count> <first
// argument>".
void logCompanionRuns();
std::vector<std::string> companionRuns();

// The steps of a test program: one line each, "ok" or "FAILED".
struct Steps {
    int failures = 0;
    void check(bool ok, const std::string& what);
};
