// The monitor thread: window class, hidden window, device notifications and
// the message loop that runs the companion on every arrival and removal.
#include "monitor/device_change_monitor.h"

#include <cstring>

#include "monitor/companion.h"
#include "platform/kernel.h"
#include "platform/windowing.h"

namespace DeviceChangeMonitor {
namespace {

// Used only on the monitor thread.
CompanionCommand companion;
platform::Notification notificationHandle = nullptr;
platform::Hwnd monitorWindow = nullptr;

// What WM_CREATE returns to make the system give up creating the window.
constexpr intptr_t kCreateRefused = -1;
constexpr intptr_t kHandled = 1;

bool registerForUsbDeviceNotifications(platform::Hwnd window) {
    platform::DevBroadcastDeviceInterfaceW filter;
    std::memset(&filter, 0, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = platform::kDbtDevtypDeviceInterface;
    filter.dbcc_classguid = platform::kGuidDevinterfaceUsbDevice;
    notificationHandle =
        platform::RegisterDeviceNotificationW(window, &filter, platform::kDeviceNotifyWindowHandle);
    return notificationHandle != nullptr;
}

}  // namespace

bool registerWindowClass() {
    platform::WndClassExW windowClass;
    std::memset(&windowClass, 0, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &windowProc;
    windowClass.hInstance = platform::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClassNameW;
    return platform::RegisterClassExW(&windowClass) != 0;
}

intptr_t windowProc(platform::Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case platform::kWmCreate:
            // Without notifications the monitor has nothing to do; refusing
            // the window ends the thread and leaves the host process alone.
            return registerForUsbDeviceNotifications(window) ? kHandled : kCreateRefused;
        case platform::kWmDestroy:
            platform::PostQuitMessage(0);
            return kHandled;
        case platform::kWmClose:
            platform::UnregisterDeviceNotification(notificationHandle);
            notificationHandle = nullptr;
            platform::DestroyWindow(window);
            return kHandled;
        case platform::kWmDeviceChange:
            // The broadcast header in lParam is not looked at: the window is
            // registered for USB device interfaces only.
            if (wParam == platform::kDbtDeviceArrival) {
                runCompanion(companion, "add");
            } else if (wParam == platform::kDbtDeviceRemoveComplete) {
                runCompanion(companion, "remove");
            }
            return kHandled;
        default:
            return platform::DefWindowProcW(window, message, wParam, lParam);
    }
}

uint32_t run(void*) {
    if (!registerWindowClass()) return kExitNoWindow;
    monitorWindow = platform::CreateWindowExA(0, kWindowClassName, kWindowName, 0, 0, 0, 0, 0, nullptr, nullptr,
                                              platform::GetModuleHandleW(nullptr), nullptr);
    if (monitorWindow == nullptr) return kExitNoWindow;

    useDefaultCompanion(companion);
    locateCompanionBesideLibrary(companion);

    // One companion run at a time: a run ends before the next message is
    // taken from the queue.
    platform::Msg message;
    for (;;) {
        int32_t got = platform::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        platform::TranslateMessage(&message);
        platform::DispatchMessageW(&message);
    }
    monitorWindow = nullptr;
    return kExitLoopEnded;
}

}  // namespace DeviceChangeMonitor
