// Loading WinUSB at run time into the table device access calls it through.
#include "access/winusb_api.h"

#include "base/status_code.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"

WinUsbApi winUsbApi = {};

namespace {

template <typename Fn>
void resolve(platform::Module module, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

}  // namespace

platform::Module WinUsbApi::load() {
    winUsbApi.module = platform::LoadLibraryA("winusb.dll");
    if (winUsbApi.module == nullptr) return nullptr;
    platform::Module m = winUsbApi.module;
    resolve(m, "WinUsb_Initialize", winUsbApi.initialize);
    resolve(m, "WinUsb_QueryDeviceInformation", winUsbApi.queryDeviceInformation);
    resolve(m, "WinUsb_GetDescriptor", winUsbApi.getDescriptor);
    resolve(m, "WinUsb_ReadPipe", winUsbApi.readPipe);
    resolve(m, "WinUsb_WritePipe", winUsbApi.writePipe);
    resolve(m, "WinUsb_SetPipePolicy", winUsbApi.setPipePolicy);
    resolve(m, "WinUsb_Free", winUsbApi.free);
    resolve(m, "WinUsb_AbortPipe", winUsbApi.abortPipe);
    resolve(m, "WinUsb_ControlTransfer", winUsbApi.controlTransfer);
    return m;
}

int32_t WinUsbApi::unload(WinUsbApi* holder) {
    if (holder == nullptr || holder->module == nullptr) return WinUsbNotLoaded;
    platform::FreeLibrary(holder->module);
    *holder = WinUsbApi{};
    return Success;
}
