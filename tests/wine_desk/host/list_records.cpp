// Lists the devices that Tamberlyx.dll, loaded as a JVM loads it, finds on
// the machine it runs on: "devices: N", then one description record per
// line, in UTF-8, the form the Java listing prints. Over the Wine desk, so
// that the records can be compared with the simulated stack's.
#include <cstdio>
#include <string>

#include "fake_jvm.h"
#include "platform/sim/text.h"
#include "tamberlyx_dll.h"

int main() {
    std::string problem;
    TamberlyxDll* dll = tamberlyx(&problem);
    if (dll == nullptr) {
        std::fprintf(stderr, "list_records: %s\n", problem.c_str());
        return 1;
    }
    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    jint handle = dll->usbInitialize(env, nullptr);
    jint list = dll->usbCreateDeviceList(env, nullptr, handle, 0xFFFF);
    if (list < 0) {
        std::fprintf(stderr, "list_records: usbCreateDeviceList answered %d\n", static_cast<int>(list));
        return 1;
    }
    jint count = dll->usbGetDeviceListCount(env, nullptr, list);
    std::printf("devices: %d\n", static_cast<int>(count));
    for (jint i = 0; i < count; ++i)
        std::printf("%s\n", sim::utf16ToUtf8(jvm.textOf(dll->usbGetDeviceInfo(env, nullptr, list, i))).c_str());
    dll->usbReleaseDeviceList(env, nullptr, list);
    dll->usbRelease(env, nullptr, handle);
    return 0;
}
