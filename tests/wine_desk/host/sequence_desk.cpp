// The comparison's sequence through Tamberlyx.dll, loaded as a JVM loads
// it, over the Wine desk (run it under scripts/wine-desk). The argument is
// the bench the desk was loaded with; none: the built-in one.
#include <cstdio>
#include <string>

// Before windows.h, whose "interface" macro the machine's records meet.
#include "platform/sim/model/bench.h"
#include "sequence.h"

#include <windows.h>
#include <setupapi.h>

#include "../loader/desk_control.h"
#include "listing.h"

namespace {

const GUID kUsbDeviceClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

int presentUsbDevices() {
    HDEVINFO set = SetupDiGetClassDevsW(&kUsbDeviceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return -1;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    int count = 0;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbDeviceClass, static_cast<DWORD>(count), &data)) ++count;
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

// Plug and play makes and removes device nodes on threads of its own: the
// change counts once the USB device interfaces present show it (10 s at most).
bool plug(const std::vector<uint32_t>& location, bool present) {
    std::string path = std::to_string(location[0]) + ":";
    for (size_t i = 1; i < location.size(); ++i) path += (i == 1 ? "" : ".") + std::to_string(location[i]);
    int before = presentUsbDevices();
    uint32_t error = 0;
    if (!desk::plugDevice(path, present, &error)) {
        std::fprintf(stderr, "sequence: %s %s failed with %u\n", present ? "plug" : "unplug", path.c_str(), error);
        return false;
    }
    for (int waited = 0; waited < 10000; waited += 20) {
        int now = presentUsbDevices();
        if (present ? now > before : now < before) return true;
        Sleep(20);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine machine = sim::defaultBench();
    std::string error;
    if (argc > 1 && !sim::loadBenchFile(argv[1], &machine, &error)) {
        std::fprintf(stderr, "sequence: %s\n", error.c_str());
        return 1;
    }
    TamberlyxDll* dll = loadTamberlyx("sequence");
    if (dll == nullptr) return 1;
    DeskHands hands{plug};
    return runSequence(*dll, machine, hands);
}
