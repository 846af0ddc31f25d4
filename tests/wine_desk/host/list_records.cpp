// The listing of Tamberlyx.dll, loaded as a JVM loads it, over whatever
// machine it runs on: under scripts/wine-desk, the Wine desk.
#include "listing.h"

int main() {
    TamberlyxDll* dll = loadTamberlyx("list_records");
    return dll == nullptr ? 1 : printListing(*dll);
}
