// Loading WinUSB and starting the device-change monitor, which happen
// together: the monitor runs only while WinUSB is held.
#include "session/initialization.h"

#include "base/status_code.h"
#include "monitor/device_change_monitor.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"

platform::Handle monitorThread = nullptr;
uint32_t monitorThreadId = 0;

namespace {

// Keeps the handle of the monitor thread just started; the handle of an
// earlier one is no longer needed (closing it does not stop that thread).
void keepMonitorThread(platform::Handle thread, uint32_t id) {
    if (monitorThread != nullptr) platform::CloseHandle(monitorThread);
    monitorThread = thread;
    monitorThreadId = id;
}

}  // namespace

int32_t initializeDeviceAccess(WinUsbApi* holder) {
    if (holder == nullptr) return NoApiTable;
    // A repeated initialisation loads the module again; the table keeps one
    // reference, so the earlier one is given back once the new one is held.
    platform::Module earlier = holder->module;
    holder->module = WinUsbApi::load();
    if (earlier != nullptr) {
        platform::FreeLibrary(earlier);
        // Without a new reference the entry points may lead nowhere.
        if (holder->module == nullptr) *holder = WinUsbApi{};
    }
    if (holder->module == nullptr) return 1;

    uint32_t threadId = 0;
    platform::Handle thread =
        platform::CreateThread(nullptr, 0, &DeviceChangeMonitor::run, nullptr, 0, &threadId);
    if (thread == nullptr) {
        WinUsbApi::unload(holder);
        return ThreadStartFailed;
    }
    keepMonitorThread(thread, threadId);
    return Success;
}
