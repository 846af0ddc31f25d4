// The Wine desk's loader, run inside the Wine prefix:
//
//   desk_loader install        installs the bus driver as a root-enumerated
//                              device and removes Wine's own HID and USB
//                              buses (once per prefix)
//   desk_loader load [BENCH]   removes the device nodes of earlier machines,
//                              installs the INF files of the bench's device
//                              nodes, hands the machine to the bus driver,
//                              and waits until every node's interfaces are
//                              there (the built-in bench when none is named)
//   desk_loader plug PATH      plugs in, or pulls out, the device at a port
//   desk_loader unplug PATH    path ("0:2.1": controller 0, port 2, port 1)
//                              while the machine runs
//
// The drivers are taken from the loader's own directory. Every failure is
// reported on the standard error stream with status 1.
// The machine's records first: Windows' headers define "interface" as a
// macro, which the records use as a member name.
#include "../desk_blob.h"
#include "desk_bench.h"
#include "desk_control.h"
#include "desk_faults.h"
#include "desk_infs.h"
#include "desk_nodes.h"
#include "platform/sim/model/text.h"

#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <newdev.h>
#include <setupapi.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const char kBusHardwareId[] = "root\\tamberlyx_desk\0";

int fail(const std::string& what, DWORD error = GetLastError()) {
    std::fprintf(stderr, "desk_loader: %s (error %lu)\n", what.c_str(), static_cast<unsigned long>(error));
    return 1;
}

std::wstring wide(const std::string& text) {
    std::u16string u = sim::utf8ToUtf16(text);
    return std::wstring(u.begin(), u.end());
}

std::wstring ownDirectory() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, length);
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}

std::wstring driversDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\drivers\\";
}

// Writes a text as a UTF-16 file with its byte-order mark, as INF files
// with texts beyond ASCII must be.
bool writeUtf16(const std::wstring& path, const std::string& text) {
    std::u16string u = sim::utf8ToUtf16(text);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const char16_t bom = 0xFEFF;
    DWORD written = 0;
    bool ok = WriteFile(file, &bom, 2, &written, nullptr) &&
              WriteFile(file, u.data(), static_cast<DWORD>(u.size() * 2), &written, nullptr);
    CloseHandle(file);
    return ok;
}

bool installInf(const std::wstring& path) {
    return SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_NONE, 0, nullptr, 0, nullptr, nullptr) != FALSE;
}

// Removes every device node `chosen(set, device, instanceId)` picks, and
// says how many went (and why) on the standard error stream.
template <typename Choice>
void removeDeviceNodes(const char* why, Choice chosen) {
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return;
    int removed = 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        char instance[512] = {};
        if (!SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, nullptr) ||
            !chosen(set, &device, std::string(instance)))
            continue;
        if (SetupDiRemoveDevice(set, &device)) ++removed;
        else std::fprintf(stderr, "desk_loader: %s not removed (error %lu)\n", instance, GetLastError());
    }
    SetupDiDestroyDeviceInfoList(set);
    if (removed > 0) std::fprintf(stderr, "desk_loader: %d device node(s) %s removed\n", removed, why);
}

// Whether an installed INF file (in Windows' INF directory, where
// installing renames it oemN.inf) is one of the desk's: by its provider.
bool deskInf(const char* infName, std::map<std::string, bool>* known) {
    auto found = known->find(infName);
    if (found != known->end()) return found->second;
    bool ours = false;
    HINF inf = SetupOpenInfFileA(infName, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf != INVALID_HANDLE_VALUE) {
        char provider[128] = {};
        ours = SetupGetLineTextA(nullptr, inf, "Strings", "Provider", provider, sizeof provider, nullptr) &&
               std::string(provider) == desk::kDeskProvider;
        SetupCloseInfFile(inf);
    }
    (*known)[infName] = ours;
    return ours;
}

// Removes the device nodes of machines loaded in earlier sessions. Wine
// keeps a device node and its interface keys after the session that made it
// ends, and its SetupDiGetClassDevsW puts every device that ever had an
// interface of a class into the set, present or not (devinst.c,
// SETUPDI_EnumerateMatchingInterfaces creates the device before it looks at
// the interfaces' Linked flags). Windows gives only present devices
// (DIGCF_PRESENT); so that the desk shows a machine as Windows would, no
// node of an earlier machine stays. The desk's nodes are known by the INF
// file their driver was installed from; the bus itself, root-enumerated,
// stays.
void removeEarlierMachines() {
    std::map<std::string, bool> infs;
    removeDeviceNodes("of earlier machines", [&](HDEVINFO set, SP_DEVINFO_DATA* device, const std::string& instance) {
        if (_strnicmp(instance.c_str(), "ROOT\\", 5) == 0) return false;
        HKEY driverKey = SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (driverKey == INVALID_HANDLE_VALUE) return false;
        char infName[MAX_PATH] = {};
        DWORD size = sizeof infName - 1;
        bool read = RegQueryValueExA(driverKey, "InfPath", nullptr, nullptr, reinterpret_cast<BYTE*>(infName), &size) ==
                    ERROR_SUCCESS;
        RegCloseKey(driverKey);
        return read && deskInf(infName, &infs);
    });
}

// Uninstalls the INF files of earlier machines' devices. Of all the INF
// files that match a hardware id, Wine's installer may pick one an earlier
// machine left as readily as the one just installed, so a device whose
// bench entry changed since (its description, its service) would be
// installed as that machine had it. The bus's own INF (the one that names
// the bus) stays. Wine deletes an INF only when told to force it
// (setupapi's misc.c, SetupUninstallOEMInfW).
void removeEarlierInfs() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string directory = std::string(windows) + "\\inf\\";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "oem*.inf").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::map<std::string, bool> infs;
    int removed = 0;
    do {
        if (!deskInf(found.cFileName, &infs)) continue;
        HINF inf = SetupOpenInfFileA((directory + found.cFileName).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
        if (inf == INVALID_HANDLE_VALUE) continue;
        char bus[128] = {};
        bool namesTheBus = SetupGetLineTextA(nullptr, inf, "Strings", "Bus", bus, sizeof bus, nullptr);
        SetupCloseInfFile(inf);
        if (!namesTheBus && SetupUninstallOEMInfA(found.cFileName, SUOI_FORCEDELETE, nullptr)) ++removed;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    if (removed > 0) std::fprintf(stderr, "desk_loader: %d INF file(s) of earlier machines removed\n", removed);
}

int install() {
    std::wstring here = ownDirectory(), drivers = driversDirectory();
    if (!CopyFileW((here + L"desk_bus.sys").c_str(), (drivers + L"tamberlyx_desk_bus.sys").c_str(), FALSE))
        return fail("copying desk_bus.sys to the drivers directory");
    std::string inf =
        "[Version]\r\nSignature=\"$Chicago$\"\r\nClass=System\r\nClassGuid={4d36e97d-e325-11ce-bfc1-08002be10318}\r\n"
        "Provider=%Provider%\r\nDriverVer=01/01/2026,1.0.0.0\r\n\r\n[Manufacturer]\r\n%Provider%=desk,NTamd64\r\n\r\n"
        "[desk.NTamd64]\r\n%Bus%=bus,root\\tamberlyx_desk\r\n\r\n[bus.NT]\r\n\r\n[bus.NT.Services]\r\n"
        "AddService=tamberlyx_desk_bus,0x2,bus_service\r\n\r\n[bus_service]\r\n"
        "ServiceBinary=%12%\\tamberlyx_desk_bus.sys\r\nServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n\r\n"
        "[Strings]\r\nProvider=\"Tamberlyx Wine desk\"\r\nBus=\"Tamberlyx Wine desk bus\"\r\n";
    std::wstring infPath = here + L"tamberlyx_desk_bus.inf";
    if (!writeUtf16(infPath, inf) || !installInf(infPath)) return fail("installing the bus INF");

    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (SetupDiCreateDeviceInfoA(set, "root\\tamberlyx_desk\\0", &GUID_DEVCLASS_SYSTEM, nullptr, nullptr, 0, &device)) {
        if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                               reinterpret_cast<const BYTE*>(kBusHardwareId), sizeof kBusHardwareId) ||
            !SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
            DWORD error = GetLastError();
            SetupDiDestroyDeviceInfoList(set);
            return fail("registering the bus device", error);
        }
    } else if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) {
        DWORD error = GetLastError();
        SetupDiDestroyDeviceInfoList(set);
        return fail("creating the bus device", error);
    }
    SetupDiDestroyDeviceInfoList(set);
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, L"root\\tamberlyx_desk", infPath.c_str(), INSTALLFLAG_FORCE, &reboot))
        return fail("installing the bus driver");
    // Wine's own buses: winebus.sys makes a virtual mouse and keyboard, HID
    // collections no bench holds (mouse_device_create and
    // keyboard_device_create, at every start), and wineusb.sys would serve
    // this machine's own USB devices. The desk is the bench's machine alone:
    // their root device nodes go, so that neither starts again.
    removeDeviceNodes("of Wine's own HID and USB buses", [](HDEVINFO, SP_DEVINFO_DATA*, const std::string& instance) {
        return _stricmp(instance.c_str(), "ROOT\\WINE\\WINEBUS") == 0 ||
               _stricmp(instance.c_str(), "ROOT\\WINE\\WINEUSB") == 0;
    });
    std::fprintf(stderr, "desk_loader: bus installed\n");
    return 0;
}

int load(const std::string& benchPath) {
    sim::Machine machine;
    std::string error;
    if (!desk::readMachine(benchPath, &machine, &error)) return fail(error, 0);
    if (!desk::rememberBench(benchPath)) return fail("naming the bench in the registry");
    removeEarlierMachines();
    removeEarlierInfs();
    std::vector<desk::DeskNode> nodes = desk::deskNodes(machine);
    // Faults a driver cannot serve are answered as usual: say which.
    for (const std::string& fault : desk::unservedFaults(machine))
        std::fprintf(stderr, "desk_loader: not served over the desk, answered as usual: %s\n", fault.c_str());

    // The device nodes' INF files, and the pass-through driver under every
    // service name they use.
    std::wstring here = ownDirectory(), drivers = driversDirectory();
    std::vector<std::string> unknown;
    for (const auto& inf : desk::deskInfs(nodes, &unknown)) {
        std::wstring path = here + L"tamberlyx_desk_" + wide(inf.first) + L".inf";
        if (!writeUtf16(path, inf.second) || !installInf(path)) return fail("installing the INF of class " + inf.first);
    }
    for (const std::string& cls : unknown)
        std::fprintf(stderr, "desk_loader: setup class %s is not known; its devices get no driver\n", cls.c_str());
    for (const desk::DeskNode& node : nodes) {
        if (node.service().empty()) continue;
        const wchar_t* driver = desk::servedByHidMinidriver(node.service()) ? L"desk_hid.sys" : L"desk_passthrough.sys";
        if (!CopyFileW((here + driver).c_str(), (drivers + wide(desk::passThroughFile(node.service()))).c_str(), FALSE))
            return fail("copying the driver for " + node.service());
    }

    std::vector<uint8_t> blob = desk::machineBlob(nodes);
    // Wine's own HID devices count among the HID collections present.
    int hidBefore = desk::presentInterfaces(desk::kHidClass);
    uint32_t loadError = 0;
    if (!desk::sendToBus(DESK_IOCTL_LOAD, blob.data(), static_cast<uint32_t>(blob.size()), &loadError))
        return fail(loadError == ERROR_FILE_NOT_FOUND ? "no desk bus: run 'desk_loader install' first"
                                                      : "loading the machine",
                    loadError);

    // Plug and play makes the nodes on its own threads: wait for them.
    int controllers = 0, hubs = 0, devices = 0, hids = 0;
    for (const desk::DeskNode& node : nodes) {
        controllers += node.kind == DESK_CONTROLLER;
        hubs += node.hub() != nullptr;
        devices += node.kind == DESK_DEVICE;
        hids += node.kind == DESK_DEVICE && desk::servedByHidMinidriver(node.service()) &&
                !node.device->hidInterfaces.empty();
    }
    for (int waited = 0; waited < 20000; waited += 50) {
        if (desk::presentInterfaces(desk::kHostControllerClass) >= controllers &&
            desk::presentInterfaces(desk::kHubClass) >= hubs &&
            desk::presentInterfaces(desk::kUsbDeviceClass) >= devices &&
            desk::presentInterfaces(desk::kHidClass) >= hidBefore + hids) {
            std::fprintf(stderr, "desk_loader: %d controller(s), %d hub(s), %d device(s), %d HID collection(s) present\n",
                         controllers, hubs, devices, hids);
            return 0;
        }
        Sleep(50);
    }
    return fail("the device nodes did not all appear within 20 s", 0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "install" && argc == 2) return install();
    if (command == "load" && argc <= 3) return load(argc == 3 ? argv[2] : "");
    if ((command == "plug" || command == "unplug") && argc == 3) {
        uint32_t error = 0;
        if (!desk::plugDevice(argv[2], command == "plug", &error)) return fail(command + " " + argv[2], error);
        return 0;
    }
    std::fprintf(stderr, "usage: desk_loader install | desk_loader load [BENCH] | desk_loader plug|unplug PATH\n");
    return 2;
}
