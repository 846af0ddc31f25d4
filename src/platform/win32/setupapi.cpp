// SetupAPI: sets of present devices and interfaces, interface paths and
// registry properties, passed straight to the system.
#include "platform/setupapi.h"

#include "platform/win32/windows_api.h"

namespace platform {

DevInfoSet SetupDiGetClassDevsW(const Guid* classGuid, const char16_t* enumerator, Hwnd parent, uint32_t flags) {
    return ::SetupDiGetClassDevsW(win32::systemGuid(classGuid), win32::wide(enumerator), static_cast<HWND>(parent),
                                  flags);
}

bool SetupDiEnumDeviceInfo(DevInfoSet set, uint32_t index, SpDevinfoData* data) {
    return ::SetupDiEnumDeviceInfo(set, index, reinterpret_cast<SP_DEVINFO_DATA*>(data)) != FALSE;
}

bool SetupDiEnumDeviceInterfaces(DevInfoSet set, SpDevinfoData* deviceData, const Guid* classGuid, uint32_t index,
                                 SpDeviceInterfaceData* interfaceData) {
    return ::SetupDiEnumDeviceInterfaces(set, reinterpret_cast<SP_DEVINFO_DATA*>(deviceData),
                                         win32::systemGuid(classGuid), index,
                                         reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(interfaceData)) != FALSE;
}

bool SetupDiGetDeviceInterfaceDetailW(DevInfoSet set, SpDeviceInterfaceData* interfaceData,
                                      SpDeviceInterfaceDetailDataW* detail, uint32_t detailSize,
                                      uint32_t* requiredSize, SpDevinfoData* deviceData) {
    return win32::withCount(requiredSize, [&](DWORD* required) {
        return ::SetupDiGetDeviceInterfaceDetailW(
                   set, reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(interfaceData),
                   reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail), detailSize, required,
                   reinterpret_cast<SP_DEVINFO_DATA*>(deviceData)) != FALSE;
    });
}

bool SetupDiGetDeviceRegistryPropertyA(DevInfoSet set, SpDevinfoData* deviceData, uint32_t property,
                                       uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize) {
    return win32::withCount(regType, [&](DWORD* type) {
        return win32::withCount(requiredSize, [&](DWORD* required) {
            return ::SetupDiGetDeviceRegistryPropertyA(set, reinterpret_cast<SP_DEVINFO_DATA*>(deviceData), property,
                                                       type, buffer, size, required) != FALSE;
        });
    });
}

bool SetupDiGetDeviceRegistryPropertyW(DevInfoSet set, SpDevinfoData* deviceData, uint32_t property,
                                       uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize) {
    return win32::withCount(regType, [&](DWORD* type) {
        return win32::withCount(requiredSize, [&](DWORD* required) {
            return ::SetupDiGetDeviceRegistryPropertyW(set, reinterpret_cast<SP_DEVINFO_DATA*>(deviceData), property,
                                                       type, buffer, size, required) != FALSE;
        });
    });
}

bool SetupDiGetDeviceInstanceIdA(DevInfoSet set, SpDevinfoData* deviceData, char* buffer, uint32_t size,
                                 uint32_t* requiredSize) {
    return win32::withCount(requiredSize, [&](DWORD* required) {
        return ::SetupDiGetDeviceInstanceIdA(set, reinterpret_cast<SP_DEVINFO_DATA*>(deviceData), buffer, size,
                                             required) != FALSE;
    });
}

bool SetupDiDestroyDeviceInfoList(DevInfoSet set) { return ::SetupDiDestroyDeviceInfoList(set) != FALSE; }

}  // namespace platform
