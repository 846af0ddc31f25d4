// The listing the Wine desk's comparison is made of: what a Java program
// gets through the 19 methods, here through a fake JVM: "devices: N", then
// one description record per line, in UTF-8.
#pragma once

#include <string>

#include "fake_jvm.h"
#include "tamberlyx_dll.h"

// Tamberlyx.dll beside this program with its methods resolved, or null
// after saying on the standard error stream why not.
TamberlyxDll* loadTamberlyx(const char* program);

// Lists every device (vendor filter 0xFFFF); 0, or 1 when no list was made.
int printListing(const TamberlyxDll& methods);

// The index of the device of a list whose record names this product, or -1.
jint indexOfProduct(const TamberlyxDll& methods, FakeJvm& jvm, jint list, const std::string& product);

// The steps of a test program: one line each, "ok" or "FAILED".
struct Steps {
    int failures = 0;
    void check(bool ok, const std::string& what);
};
