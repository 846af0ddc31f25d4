// The WinUSB entry points, resolved from "winusb.dll" at run time. Device
// access calls WinUSB only through this table.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "platform/winusb.h"

struct WinUsbApi {
    platform::Module module;
    platform::WinUsbInitializeFn initialize;
    platform::WinUsbQueryDeviceInformationFn queryDeviceInformation;
    platform::WinUsbGetDescriptorFn getDescriptor;
    platform::WinUsbReadPipeFn readPipe;
    platform::WinUsbWritePipeFn writePipe;
    platform::WinUsbSetPipePolicyFn setPipePolicy;
    platform::WinUsbFreeFn free;
    platform::WinUsbAbortPipeFn abortPipe;
    platform::WinUsbControlTransferFn controlTransfer;

    // Loads "winusb.dll" into the process-wide table and resolves the entry
    // points (null for a name not found); the module handle, or null.
    static platform::Module load();
    // Releases the holder's module and empties the holder, so that no
    // released entry point stays callable: 0, or WinUsbNotLoaded.
    static int32_t unload(WinUsbApi* holder);
};

// The process-wide table.
extern WinUsbApi winUsbApi;
