// HID access through Tamberlyx.dll over the Wine desk, loaded as a JVM
// loads it: the bench's echo device opened and one 64-byte report moved
// through Wine's HID class driver and back; the silent device's read
// ending with -7 within its time-out; both closed; and the echo device
// opened while its collection is held open without sharing. Prints one
// line per step and exits 1 at the first step that fails.
#include <windows.h>
#include <setupapi.h>

#include <algorithm>
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

// The path of the first HID collection whose path holds the text given
// (lower case), or "".
std::wstring hidCollectionPath(const std::wstring& part) {
    const GUID hidClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    HDEVINFO set = SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return L"";
    std::wstring found;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; found.empty() && SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, i, &data); ++i) {
        std::vector<BYTE> buffer(2048);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, static_cast<DWORD>(buffer.size()), nullptr, nullptr))
            continue;
        std::wstring path = detail->DevicePath;
        std::wstring lower = path;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
        if (lower.find(part) != std::wstring::npos) found = path;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

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

    // A collection held open without sharing: Windows' HID class driver
    // refuses a second open that the first does not share, but Wine's
    // grants it, as its class driver checks no share access
    // (dlls/hidclass.sys/device.c, pdo_create). The simulated stack follows
    // Windows (the bench's heldOpen); this records what Wine does.
    std::wstring echoPath = hidCollectionPath(L"vid_1a2b&pid_0002");
    HANDLE held = echoPath.empty() ? INVALID_HANDLE_VALUE
                                   : CreateFileW(echoPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr);
    steps.check(held != INVALID_HANDLE_VALUE, "the echo device's collection is held open without sharing");
    jint opened = dll->usbOpenDevice(env, nullptr, list, echo);
    steps.check(opened == 0, "under Wine the echo device opens all the same (got " + std::to_string(opened) + ")");
    if (opened == 0) dll->usbCloseDevice(env, nullptr, list, echo);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);

    steps.check(jvm.pinsOutstanding() == 0 && jvm.faults() == 0, "every array pinned was released, no guard zone touched");

    dll->usbReleaseDeviceList(env, nullptr, list);
    dll->usbRelease(env, nullptr, handle);
    return steps.failures == 0 ? 0 : 1;
}
