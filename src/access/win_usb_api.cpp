// Loading WinUSB at run time and starting the device-change monitor.
#include "access/win_usb_api.h"

#include "jni/status_code.h"
#include "monitor/device_change_monitor.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"

WinUsbApi winUsbApi = {};
platform::Handle monitorThread = nullptr;
uint32_t monitorThreadId = 0;

namespace {

template <typename Fn>
void resolve(platform::Module module, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

// Keeps the handle of the monitor thread just started; the handle of an
// earlier one is no longer needed (closing it does not stop that thread).
void keepMonitorThread(platform::Handle thread, uint32_t id) {
    if (monitorThread != nullptr) platform::CloseHandle(monitorThread);
    monitorThread = thread;
    monitorThreadId = id;
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

int32_t initializeDeviceAccess(WinUsbApi* holder) {
    if (holder == nullptr) return NoApiTable;
    // Every initialisation takes a reference of its own, and the earlier
    // ones are kept: devices opened under them still call into the module.
    platform::Module earlier = holder->module;
    platform::Module loaded = WinUsbApi::load();
    holder->module = loaded != nullptr ? loaded : earlier;
    if (loaded == nullptr) return 1;

    uint32_t threadId = 0;
    platform::Handle thread =
        platform::CreateThread(nullptr, 0, &DeviceChangeMonitor::run, nullptr, 0, &threadId);
    if (thread == nullptr) {
        // Only this initialisation's reference is given back; the table
        // stays usable while an earlier one holds the module.
        if (earlier == nullptr) {
            WinUsbApi::unload(holder);
        } else {
            platform::FreeLibrary(loaded);
            holder->module = earlier;
        }
        return ThreadStartFailed;
    }
    keepMonitorThread(thread, threadId);
    return Success;
}
