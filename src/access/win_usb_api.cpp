// Loading WinUSB at run time and starting the device-change monitor.
#include "access/win_usb_api.h"

#include "jni/status_code.h"
#include "platform/kernel.h"

WinUsbApi winUsbApi = {};

platform::Module WinUsbApi::load() {
    winUsbApi.module = platform::LoadLibraryA("winusb.dll");
    if (winUsbApi.module == nullptr) return nullptr;
    platform::Module m = winUsbApi.module;
    winUsbApi.initialize = reinterpret_cast<WinUsbInitializeFn>(platform::GetProcAddress(m, "WinUsb_Initialize"));
    winUsbApi.queryDeviceInformation = reinterpret_cast<WinUsbQueryDeviceInformationFn>(
        platform::GetProcAddress(m, "WinUsb_QueryDeviceInformation"));
    winUsbApi.getDescriptor =
        reinterpret_cast<WinUsbGetDescriptorFn>(platform::GetProcAddress(m, "WinUsb_GetDescriptor"));
    winUsbApi.readPipe = reinterpret_cast<WinUsbReadPipeFn>(platform::GetProcAddress(m, "WinUsb_ReadPipe"));
    winUsbApi.writePipe = reinterpret_cast<WinUsbWritePipeFn>(platform::GetProcAddress(m, "WinUsb_WritePipe"));
    winUsbApi.setPipePolicy =
        reinterpret_cast<WinUsbSetPipePolicyFn>(platform::GetProcAddress(m, "WinUsb_SetPipePolicy"));
    winUsbApi.free = reinterpret_cast<WinUsbFreeFn>(platform::GetProcAddress(m, "WinUsb_Free"));
    winUsbApi.abortPipe = reinterpret_cast<WinUsbAbortPipeFn>(platform::GetProcAddress(m, "WinUsb_AbortPipe"));
    winUsbApi.controlTransfer =
        reinterpret_cast<WinUsbControlTransferFn>(platform::GetProcAddress(m, "WinUsb_ControlTransfer"));
    return m;
}

int32_t WinUsbApi::unload(WinUsbApi* holder) {
    if (holder == nullptr || holder->module == nullptr) return WinUsbNotLoaded;
    platform::FreeLibrary(holder->module);
    return Success;
}

int32_t initializeDeviceAccess(WinUsbApi* holder) {
    if (holder == nullptr) return NoApiTable;
    holder->module = WinUsbApi::load();
    if (holder->module == nullptr) return 1;
    // The device-change monitor thread starts here once it exists.
    return Success;
}
