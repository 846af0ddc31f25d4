// HID access through Tamberlyx.dll over the Wine desk, loaded as a JVM
// loads it: the bench's echo device opened and one 64-byte report moved
// through Wine's HID class driver and back; the silent device's read
// ending with -7 within its time-out; both closed. Prints one line per
// step and exits 1 at the first step that fails.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "listing.h"

namespace {

// The count of a report written: Windows reports the whole report, its id
// byte included (65); Wine 8's class driver passes on the minidriver's
// count, the report without its id byte (64), which later Wine corrects
// (dlls/hidclass.sys/device.c, pdo_write: Information = Write.Length).
bool wholeReportWritten(jint written) { return written == 65 || written == 64; }

}  // namespace

int main() {
    TamberlyxDll* dll = loadTamberlyx("hid_access");
    if (dll == nullptr) return 1;
    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    Steps steps;
    jint handle = dll->usbInitialize(env, nullptr);
    jint list = dll->usbCreateDeviceList(env, nullptr, handle, 0x1A2B);
    jint echo = indexOfProduct(*dll, jvm, list, "Kestra HID Echo"), mute = indexOfProduct(*dll, jvm, list, "Kestra HID Mute");
    steps.check(echo >= 0 && mute >= 0, "both HID devices listed");
    if (echo < 0 || mute < 0) return 1;

    steps.check(dll->usbOpenDevice(env, nullptr, list, echo) == 0, "the echo device opens");
    std::vector<jbyte> report(64);
    for (size_t i = 0; i < report.size(); ++i) report[i] = static_cast<jbyte>(i * 3 + 1);
    jbyteArray out = jvm.newByteArray(report);
    jint written = dll->usbWriteInterruptPipe(env, nullptr, list, echo, 0, 64, 1000, out);
    steps.check(wholeReportWritten(written), "a 64-byte report is written (got " + std::to_string(written) + ")");
    jbyteArray in = jvm.newByteArray(std::vector<jbyte>(64));
    steps.check(dll->usbReadInterruptPipe(env, nullptr, list, echo, 0, 64, 1000, in) == 65, "a report is read back");
    steps.check(jvm.bytesOf(in) == report, "the report read is the one written");
    steps.check(dll->usbCloseDevice(env, nullptr, list, echo) == 0, "the echo device closes");

    steps.check(dll->usbOpenDevice(env, nullptr, list, mute) == 0, "the silent device opens");
    written = dll->usbWriteInterruptPipe(env, nullptr, list, mute, 0, 64, 1000, out);
    steps.check(wholeReportWritten(written), "the silent device takes a report (got " + std::to_string(written) + ")");
    auto start = std::chrono::steady_clock::now();
    jint result = dll->usbReadInterruptPipe(env, nullptr, list, mute, 0, 64, 300, in);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    steps.check(result == -7, "a read of the silent device answers -7 (got " + std::to_string(result) + ")");
    steps.check(waited >= 250 && waited < 5000, "after its time-out of 300 ms (" + std::to_string(waited) + " ms)");
    steps.check(dll->usbCloseDevice(env, nullptr, list, mute) == 0, "the silent device closes");
    steps.check(jvm.pinsOutstanding() == 0 && jvm.faults() == 0, "every array pinned was released, no guard zone touched");

    dll->usbReleaseDeviceList(env, nullptr, list);
    dll->usbRelease(env, nullptr, handle);
    return steps.failures == 0 ? 0 : 1;
}
