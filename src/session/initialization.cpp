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
