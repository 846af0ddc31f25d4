// SetupAPI: sets of present devices and device interfaces, their interface
// paths and registry properties.
#pragma once

#include "platform/types.h"

namespace platform {

// A set of the present interfaces of one class (kDigcfPresent |
// kDigcfDeviceInterface) or of all present devices (kDigcfPresent |
// kDigcfAllClasses, classGuid null); invalidHandle() when none can be had.
DevInfoSet SetupDiGetClassDevsW(const Guid* classGuid, const char16_t* enumerator, Hwnd parent, uint32_t flags);

// False past the end, with last error kErrorNoMoreItems.
bool SetupDiEnumDeviceInfo(DevInfoSet set, uint32_t index, SpDevinfoData* data);

bool SetupDiEnumDeviceInterfaces(DevInfoSet set, SpDevinfoData* deviceData, const Guid* classGuid, uint32_t index,
                                 SpDeviceInterfaceData* interfaceData);

// With a null detail: false, last error kErrorInsufficientBuffer, *requiredSize
// set. With a buffer whose cbSize is 8: the zero-terminated DevicePath.
bool SetupDiGetDeviceInterfaceDetailW(DevInfoSet set, SpDeviceInterfaceData* interfaceData,
                                      SpDeviceInterfaceDetailDataW* detail, uint32_t detailSize,
                                      uint32_t* requiredSize, SpDevinfoData* deviceData);

// Narrow texts (SPDRP_DEVICEDESC, HARDWAREID, SERVICE, CLASS, DRIVER).
bool SetupDiGetDeviceRegistryPropertyA(DevInfoSet set, SpDevinfoData* deviceData, uint32_t property,
                                       uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize);
// 32-bit values (SPDRP_BUSNUMBER, SPDRP_ADDRESS).
bool SetupDiGetDeviceRegistryPropertyW(DevInfoSet set, SpDevinfoData* deviceData, uint32_t property,
                                       uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize);

bool SetupDiGetDeviceInstanceIdA(DevInfoSet set, SpDevinfoData* deviceData, char* buffer, uint32_t size,
                                 uint32_t* requiredSize);

bool SetupDiDestroyDeviceInfoList(DevInfoSet set);

}  // namespace platform
