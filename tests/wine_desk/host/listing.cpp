#include "listing.h"

#include <cstdio>

#include "platform/sim/model/text.h"

TamberlyxDll* loadTamberlyx(const char* program) {
    std::string problem;
    TamberlyxDll* dll = tamberlyx(&problem);
    if (dll == nullptr) std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
    return dll;
}

int printListing(const TamberlyxDll& methods) {
    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    jint handle = methods.usbInitialize(env, nullptr);
    jint list = methods.usbCreateDeviceList(env, nullptr, handle, 0xFFFF);
    if (list < 0) {
        std::fprintf(stderr, "listing: usbCreateDeviceList answered %d\n", static_cast<int>(list));
        return 1;
    }
    jint count = methods.usbGetDeviceListCount(env, nullptr, list);
    std::printf("devices: %d\n", static_cast<int>(count));
    for (jint i = 0; i < count; ++i)
        std::printf("%s\n", sim::utf16ToUtf8(jvm.textOf(methods.usbGetDeviceInfo(env, nullptr, list, i))).c_str());
    methods.usbReleaseDeviceList(env, nullptr, list);
    methods.usbRelease(env, nullptr, handle);
    return 0;
}

jint indexOfProduct(const TamberlyxDll& methods, FakeJvm& jvm, jint list, const std::string& product) {
    jint count = methods.usbGetDeviceListCount(jvm.env(), nullptr, list);
    for (jint i = 0; i < count; ++i) {
        std::string record = sim::utf16ToUtf8(jvm.textOf(methods.usbGetDeviceInfo(jvm.env(), nullptr, list, i)));
        if (record.find(":=" + product + ":=") != std::string::npos) return i;
    }
    return -1;
}

void Steps::check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}
