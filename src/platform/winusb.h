// The WinUSB entry points the library calls. "winusb.dll" is never linked:
// its functions are resolved by name at run time, so these types are all
// that ties a call to the function behind it. Both platforms are checked
// against them at compile time (the simulated module's functions, and the
// system's <winusb.h> prototypes).
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace platform {

using WinUsbInitializeFn = int32_t (*)(Handle device, void** interfaceHandle);
using WinUsbQueryDeviceInformationFn = int32_t (*)(void* interfaceHandle, uint32_t type, uint32_t* length,
                                                   void* buffer);
using WinUsbGetDescriptorFn = int32_t (*)(void* interfaceHandle, uint8_t type, uint8_t index, uint16_t language,
                                          uint8_t* buffer, uint32_t length, uint32_t* transferred);
using WinUsbReadPipeFn = int32_t (*)(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                                     uint32_t* transferred, Overlapped* overlapped);
using WinUsbWritePipeFn = int32_t (*)(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                                      uint32_t* transferred, Overlapped* overlapped);
using WinUsbSetPipePolicyFn = int32_t (*)(void* interfaceHandle, uint8_t pipe, uint32_t policy,
                                          uint32_t valueLength, void* value);
using WinUsbFreeFn = int32_t (*)(void* interfaceHandle);
using WinUsbAbortPipeFn = int32_t (*)(void* interfaceHandle, uint8_t pipe);
using WinUsbControlTransferFn = int32_t (*)(void* interfaceHandle, WinUsbSetupPacket setup, uint8_t* buffer,
                                            uint32_t length, uint32_t* transferred, Overlapped* overlapped);

}  // namespace platform
