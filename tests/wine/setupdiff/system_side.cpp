// The system side of the SetupAPI comparison: registers the comparison's
// devices and interfaces in the system's own SetupAPI, runs the walk's
// steps over the real platform layer, writes them to the standard output
// and removes everything it made, so that the machine is as it was. The
// argument is the interface set's flags.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "devices.h"

namespace {

using setupdiff::TestDevice;

const wchar_t kEnumKey[] = L"System\\CurrentControlSet\\Enum\\ROOT\\TAMBERLYXDIFF";

std::wstring wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], n);
    return text;
}

const GUID* systemGuid(const platform::Guid& g) { return reinterpret_cast<const GUID*>(&g); }

// The key under which the system keeps an interface's reference string
// "" (named "#"): the path with "\\?\" as "##?#".
std::wstring interfaceKey(const TestDevice& d) {
    std::string path = setupdiff::fixedClassInterfacePath(d);
    return L"System\\CurrentControlSet\\Control\\DeviceClasses\\{58d07210-27c1-11dd-bd0b-0800200c9a66}\\##?#" +
           wide(path.substr(4)) + L"\\#";
}

bool setText(HDEVINFO set, SP_DEVINFO_DATA* data, DWORD property, const std::wstring& text) {
    return SetupDiSetDeviceRegistryPropertyW(set, data, property, reinterpret_cast<const BYTE*>(text.c_str()),
                                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Registers one device with the properties it has; false on any failure.
bool registerDevice(HDEVINFO set, const TestDevice& d) {
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    if (!SetupDiCreateDeviceInfoW(set, wide(d.instanceId).c_str(), systemGuid(setupdiff::kTestSetupClass), nullptr,
                                  nullptr, 0, &data)) {
        std::fprintf(stderr, "SetupDiCreateDeviceInfoW %s: %lu\n", d.instanceId.c_str(), GetLastError());
        return false;
    }
    bool ok = setText(set, &data, SPDRP_DRIVER, wide(d.driverKey));
    if (d.description) ok = ok && setText(set, &data, SPDRP_DEVICEDESC, wide(*d.description));
    if (d.service) ok = ok && setText(set, &data, SPDRP_SERVICE, wide(*d.service));
    if (d.setupClass) ok = ok && setText(set, &data, SPDRP_CLASS, wide(*d.setupClass));
    if (!d.hardwareIds.empty()) {
        std::wstring list;
        for (const std::string& id : d.hardwareIds) list += wide(id) + L'\0';
        ok = ok && SetupDiSetDeviceRegistryPropertyW(set, &data, SPDRP_HARDWAREID,
                                                     reinterpret_cast<const BYTE*>(list.c_str()),
                                                     static_cast<DWORD>((list.size() + 1) * sizeof(wchar_t)));
    }
    ok = ok && SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr);
    if (ok && d.fixedClassInterface) {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        ok = SetupDiCreateDeviceInterfaceW(set, &data, systemGuid(platform::kGuidFixedDeviceInterfaceClass), nullptr,
                                           0, &iface);
        // An interface is present once its reference-string key says it is
        // linked (Wine dlls/setupapi/devinst.c is_linked), as a driver's
        // enabling it does.
        HKEY control = nullptr;
        std::wstring key = interfaceKey(d) + L"\\Control";
        DWORD linked = 1;
        ok = ok && RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &control,
                                   nullptr) == ERROR_SUCCESS;
        ok = ok && RegSetValueExW(control, L"Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&linked),
                                  sizeof linked) == ERROR_SUCCESS;
        if (control != nullptr) RegCloseKey(control);
    }
    if (!ok) std::fprintf(stderr, "registering %s: %lu\n", d.instanceId.c_str(), GetLastError());
    return ok;
}

// Removes the devices through the SetupAPI, then whatever keys of theirs
// are left; true when none remains.
bool removeDevices() {
    HDEVINFO set = SetupDiCreateDeviceInfoList(systemGuid(setupdiff::kTestSetupClass), nullptr);
    for (const TestDevice& d : setupdiff::testDevices()) {
        if (d.fixedClassInterface) {
            std::wstring key = interfaceKey(d);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (key + L"\\Control").c_str());
        }
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        if (set != INVALID_HANDLE_VALUE &&
            SetupDiOpenDeviceInfoW(set, wide(d.instanceId).c_str(), nullptr, 0, &data)) {
            if (!SetupDiRemoveDevice(set, &data))
                std::fprintf(stderr, "SetupDiRemoveDevice %s: %lu\n", d.instanceId.c_str(), GetLastError());
            SetupDiDeleteDeviceInfo(set, &data);
        }
        if (d.fixedClassInterface) {
            std::wstring key = interfaceKey(d);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.substr(0, key.size() - 2).c_str());
        }
    }
    if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEnumKey);

    bool clean = true;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnumKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        clean = false;
    }
    for (const TestDevice& d : setupdiff::testDevices()) {
        if (!d.fixedClassInterface) continue;
        std::wstring k = interfaceKey(d);
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, k.substr(0, k.size() - 2).c_str(), 0, KEY_READ, &key) ==
            ERROR_SUCCESS) {
            RegCloseKey(key);
            clean = false;
        }
    }
    if (!clean) std::fprintf(stderr, "keys of the compared devices remain\n");
    return clean;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    uint32_t interfaceFlags = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 0));
    removeDevices();  // what an interrupted earlier run left
    HDEVINFO set = SetupDiCreateDeviceInfoList(systemGuid(setupdiff::kTestSetupClass), nullptr);
    if (set == INVALID_HANDLE_VALUE) return 1;
    bool registered = true;
    for (const TestDevice& d : setupdiff::testDevices()) registered = registered && registerDevice(set, d);
    SetupDiDestroyDeviceInfoList(set);
    if (registered) std::fputs(setupdiff::runSteps(interfaceFlags).c_str(), stdout);
    bool clean = removeDevices();
    return registered && clean ? 0 : 1;
}
