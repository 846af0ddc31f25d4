// SetupAPI of the simulated machine. This machine has no devices yet: every
// set is refused, so a walk finds no host controller.
#include "platform/setupapi.h"

#include "platform/files.h"
#include "platform/sim/faults.h"

namespace platform {

DevInfoSet SetupDiGetClassDevsW(const Guid*, const char16_t*, Hwnd, uint32_t) {
    sim::failHere("SetupDiGetClassDevsW");
    SetLastError(kErrorInvalidParameter);
    return invalidHandle();
}
bool SetupDiEnumDeviceInfo(DevInfoSet, uint32_t, SpDevinfoData*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool SetupDiEnumDeviceInterfaces(DevInfoSet, SpDevinfoData*, const Guid*, uint32_t, SpDeviceInterfaceData*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool SetupDiGetDeviceInterfaceDetailW(DevInfoSet, SpDeviceInterfaceData*, SpDeviceInterfaceDetailDataW*, uint32_t,
                                      uint32_t*, SpDevinfoData*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool SetupDiGetDeviceRegistryPropertyA(DevInfoSet, SpDevinfoData*, uint32_t, uint32_t*, uint8_t*, uint32_t,
                                       uint32_t*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool SetupDiGetDeviceRegistryPropertyW(DevInfoSet, SpDevinfoData*, uint32_t, uint32_t*, uint8_t*, uint32_t,
                                       uint32_t*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool SetupDiGetDeviceInstanceIdA(DevInfoSet, SpDevinfoData*, char*, uint32_t, uint32_t*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool SetupDiDestroyDeviceInfoList(DevInfoSet) {
    SetLastError(kErrorInvalidHandle);
    return false;
}

}  // namespace platform
