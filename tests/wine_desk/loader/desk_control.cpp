#include "desk_control.h"

#include <windows.h>
#include <setupapi.h>

#include <cstdlib>

#include "../desk_blob.h"

namespace desk {

const GUID kHostControllerClass = {0x3abf6f2d, 0x71c4, 0x462a, {0x8a, 0x92, 0x1e, 0x68, 0x61, 0xe6, 0xaf, 0x27}};
const GUID kHubClass = {0xf18a0e88, 0xc30c, 0x11d0, {0x88, 0x15, 0x00, 0xa0, 0xc9, 0x06, 0xbe, 0xd8}};
const GUID kUsbDeviceClass = {0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};
const GUID kHidClass = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

namespace {

const GUID kControlClass = DESK_CONTROL_GUID_INIT;

std::wstring controlPath() {
    HDEVINFO set = SetupDiGetClassDevsW(&kControlClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return L"";
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    std::wstring path;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &kControlClass, 0, &data)) {
        std::vector<BYTE> buffer(4096);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, static_cast<DWORD>(buffer.size()), nullptr, nullptr))
            path = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    return path;
}

}  // namespace

bool sendToBus(uint32_t code, const void* input, uint32_t size, uint32_t* error) {
    std::wstring path = controlPath();
    if (path.empty()) {
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    HANDLE bus = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (bus == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(bus, code, const_cast<void*>(input), size, nullptr, 0, &returned, nullptr);
    *error = ok ? 0 : GetLastError();
    CloseHandle(bus);
    return ok != FALSE;
}

bool plugDevice(const std::string& portPath, bool present, uint32_t* error) {
    desk_plug request{};
    request.present = present ? 1 : 0;
    size_t colon = portPath.find(':');
    if (colon == std::string::npos || colon == 0) {
        *error = ERROR_INVALID_PARAMETER;
        return false;
    }
    request.controller = static_cast<uint32_t>(std::strtoul(portPath.c_str(), nullptr, 10));
    for (size_t at = colon + 1; at <= portPath.size() && request.depth < DESK_MAX_PORT_DEPTH;) {
        size_t end = portPath.find('.', at);
        if (end == std::string::npos) end = portPath.size();
        unsigned long port = std::strtoul(portPath.substr(at, end - at).c_str(), nullptr, 10);
        if (port == 0 || port > 255) {
            *error = ERROR_INVALID_PARAMETER;
            return false;
        }
        request.ports[request.depth++] = static_cast<uint32_t>(port);
        at = end + 1;
    }
    return sendToBus(DESK_IOCTL_PLUG, &request, sizeof request, error);
}

int presentInterfaces(const GUID& interfaceClass) {
    HDEVINFO set = SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 0;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    int count = 0;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, static_cast<DWORD>(count), &data)) ++count;
    SetupDiDestroyDeviceInfoList(set);
    return count;
}

}  // namespace desk
