// The HID library of the simulated machine; no HID device exists on it yet.
#include "platform/hid.h"

#include "platform/files.h"

namespace platform {

void HidD_GetHidGuid(Guid* guid) {
    if (guid != nullptr) *guid = kGuidDevinterfaceHid;
}
bool HidD_GetAttributes(Handle, HiddAttributes*) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool HidD_GetManufacturerString(Handle, void*, uint32_t) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool HidD_GetProductString(Handle, void*, uint32_t) {
    SetLastError(kErrorInvalidHandle);
    return false;
}
bool HidD_GetSerialNumberString(Handle, void*, uint32_t) {
    SetLastError(kErrorInvalidHandle);
    return false;
}

}  // namespace platform
