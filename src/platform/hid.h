// The HID library: the HID interface class, attributes and strings.
#pragma once

#include "platform/types.h"

namespace platform {

void HidD_GetHidGuid(Guid* guid);
bool HidD_GetAttributes(Handle device, HiddAttributes* attributes);
// Each writes a zero-terminated UTF-16 text into buffer; false when the
// device has no such string.
bool HidD_GetManufacturerString(Handle device, void* buffer, uint32_t bufferLength);
bool HidD_GetProductString(Handle device, void* buffer, uint32_t bufferLength);
bool HidD_GetSerialNumberString(Handle device, void* buffer, uint32_t bufferLength);

}  // namespace platform
