// The same listing through the same 19 methods, linked over the simulated
// stack instead of Windows: the bench TAMBERLYX_BENCH names, or the
// built-in one.
#include "jni/exports.h"
#include "listing.h"

int main() {
    TamberlyxDll linked;
#define BIND(name) linked.name = &TAMBERLYX_METHOD(name)
    BIND(usbInitialize);
    BIND(usbRelease);
    BIND(usbCreateDeviceList);
    BIND(usbReleaseDeviceList);
    BIND(usbGetDeviceListCount);
    BIND(usbGetDeviceInfo);
#undef BIND
    return printListing(linked);
}
