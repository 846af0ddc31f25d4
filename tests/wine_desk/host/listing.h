// The listing the Wine desk's comparison is made of: what a Java program
// gets through the 19 methods, here through a fake JVM: "devices: N", then
// one description record per line, in UTF-8.
#pragma once

#include "tamberlyx_dll.h"

// Lists every device (vendor filter 0xFFFF); 0, or 1 when no list was made.
int printListing(const TamberlyxDll& methods);
