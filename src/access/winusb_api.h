// The WinUSB entry points, resolved from "winusb.dll" at run time. Device
// access calls WinUSB only through this table.
#pragma once

#include <cstdint>

#include "platform/types.h"

using WinUsbInitializeFn = int32_t (*)(platform::Handle device, void** interfaceHandle);
using WinUsbQueryDeviceInformationFn = int32_t (*)(void* interfaceHandle, uint32_t type, uint32_t* length,
                                                   void* buffer);
using WinUsbGetDescriptorFn = int32_t (*)(void* interfaceHandle, uint8_t type, uint8_t index, uint16_t language,
                                          uint8_t* buffer, uint32_t length, uint32_t* transferred);
using WinUsbReadPipeFn = int32_t (*)(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                                     uint32_t* transferred, platform::Overlapped* overlapped);
using WinUsbWritePipeFn = int32_t (*)(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                                      uint32_t* transferred, platform::Overlapped* overlapped);
using WinUsbSetPipePolicyFn = int32_t (*)(void* interfaceHandle, uint8_t pipe, uint32_t policy,
                                          uint32_t valueLength, void* value);
using WinUsbFreeFn = int32_t (*)(void* interfaceHandle);
using WinUsbAbortPipeFn = int32_t (*)(void* interfaceHandle, uint8_t pipe);
using WinUsbControlTransferFn = int32_t (*)(void* interfaceHandle, platform::WinUsbSetupPacket setup,
                                            uint8_t* buffer, uint32_t length, uint32_t* transferred,
                                            platform::Overlapped* overlapped);

struct WinUsbApi {
    platform::Module module;
    WinUsbInitializeFn initialize;
    WinUsbQueryDeviceInformationFn queryDeviceInformation;
    WinUsbGetDescriptorFn getDescriptor;
    WinUsbReadPipeFn readPipe;
    WinUsbWritePipeFn writePipe;
    WinUsbSetPipePolicyFn setPipePolicy;
    WinUsbFreeFn free;
    WinUsbAbortPipeFn abortPipe;
    WinUsbControlTransferFn controlTransfer;

    // Loads "winusb.dll" into the process-wide table and resolves the entry
    // points (null for a name not found); the module handle, or null.
    static platform::Module load();
    // Releases the holder's module and empties the holder, so that no
    // released entry point stays callable: 0, or WinUsbNotLoaded.
    static int32_t unload(WinUsbApi* holder);
};

// The process-wide table.
extern WinUsbApi winUsbApi;

// The device-change monitor thread started by the latest initialisation.
extern platform::Handle monitorThread;
extern uint32_t monitorThreadId;

// Loads WinUSB into the holder and starts the device-change monitor:
// 0, 1 (no WinUSB, no monitor), ThreadStartFailed or NoApiTable.
int32_t initializeDeviceAccess(WinUsbApi* holder);
