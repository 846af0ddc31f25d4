#include "desk_control.h"

#include <windows.h>
#include <setupapi.h>

#include <cstdlib>

#include "../desk_blob.h"

namespace desk {
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
