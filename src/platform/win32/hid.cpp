// The HID library: the HID interface class, attributes and strings.
#include "platform/hid.h"

#include "platform/win32/windows_api.h"

namespace platform {

void HidD_GetHidGuid(Guid* guid) { ::HidD_GetHidGuid(win32::systemGuid(guid)); }

bool HidD_GetAttributes(Handle device, HiddAttributes* attributes) {
    return ::HidD_GetAttributes(device, reinterpret_cast<HIDD_ATTRIBUTES*>(attributes)) != FALSE;
}

bool HidD_GetManufacturerString(Handle device, void* buffer, uint32_t bufferLength) {
    return ::HidD_GetManufacturerString(device, buffer, bufferLength) != FALSE;
}

bool HidD_GetProductString(Handle device, void* buffer, uint32_t bufferLength) {
    return ::HidD_GetProductString(device, buffer, bufferLength) != FALSE;
}

bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t bufferLength) {
    return ::HidD_GetSerialNumberString(device, buffer, bufferLength) != FALSE;
}

}  // namespace platform
