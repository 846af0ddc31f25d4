// The comparison's sequence through Tamberlyx.dll, loaded as a JVM loads
// it, with the recording companion beside it, over the Wine desk (run it
// under scripts/wine-desk):
//
//   desk_sequence.exe [--wine-names FILE]
//
// The machine is the one the desk serves. FILE receives what Wine names
// itself (driver keys, HID collections), so that the simulated side can
// answer with the same names.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

// Before windows.h, whose "interface" macro the machine's records meet.
#include "../loader/desk_bench.h"
#include "sequence.h"

#include <windows.h>
#include <setupapi.h>

#include "../loader/desk_control.h"
#include "listing.h"

namespace {

// Plug and play makes and removes device nodes on threads of its own: the
// change counts once the USB device interfaces present show it (10 s at most).
bool plug(const std::vector<uint32_t>& location, bool present) {
    std::string path = std::to_string(location[0]) + ":";
    for (size_t i = 1; i < location.size(); ++i) path += (i == 1 ? "" : ".") + std::to_string(location[i]);
    int before = desk::presentInterfaces(desk::kUsbDeviceClass);
    uint32_t error = 0;
    if (!desk::plugDevice(path, present, &error)) {
        std::fprintf(stderr, "sequence: %s %s failed with %u\n", present ? "plug" : "unplug", path.c_str(), error);
        return false;
    }
    for (int waited = 0; waited < 10000; waited += 20) {
        int now = desk::presentInterfaces(desk::kUsbDeviceClass);
        if (present ? now > before : now < before) return true;
        Sleep(20);
    }
    return false;
}

// What Wine named: every device node's instance id and driver key ("node",
// tab-separated), and every HID collection's path ("hid"), a line each.
bool writeWineNames(const char* path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        char instance[512] = {}, key[256] = {};
        if (!SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, nullptr) ||
            !SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DRIVER, nullptr, reinterpret_cast<BYTE*>(key),
                                               sizeof key - 1, nullptr))
            continue;
        out << "node\t" << instance << '\t' << key << '\n';
    }
    SetupDiDestroyDeviceInfoList(set);
    set = SetupDiGetClassDevsW(&desk::kHidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &desk::kHidClass, index, &data); ++index) {
        std::vector<char> buffer(1024);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, static_cast<DWORD>(buffer.size()), nullptr, nullptr))
            out << "hid\t" << detail->DevicePath << '\n';
    }
    SetupDiDestroyDeviceInfoList(set);
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine machine;
    std::string error;
    if (!desk::servedMachine(&machine, &error)) {
        std::fprintf(stderr, "sequence: %s\n", error.c_str());
        return 1;
    }
    if (argc == 3 && std::string(argv[1]) == "--wine-names" && !writeWineNames(argv[2])) {
        std::fprintf(stderr, "sequence: %s cannot be written\n", argv[2]);
        return 1;
    }
    logCompanionRuns();
    TamberlyxDll* dll = loadTamberlyx("sequence");
    if (dll == nullptr) return 1;
    CreateDirectoryA("C:\\temp", nullptr);
    return runSequence(*dll, machine, DeskHands{plug, companionRuns});
}
