// The listing of Tamberlyx.dll, loaded as a JVM loads it, over whatever
// machine it runs on: under scripts/wine-desk, the Wine desk.
#include <cstdio>
#include <string>

#include "listing.h"

int main() {
    std::string problem;
    TamberlyxDll* dll = tamberlyx(&problem);
    if (dll == nullptr) {
        std::fprintf(stderr, "list_records: %s\n", problem.c_str());
        return 1;
    }
    return printListing(*dll);
}
