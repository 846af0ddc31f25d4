// Window classes, hidden windows, message loops and device notifications.
// The portable records have the system's layout (checked in
// layout_checks.cpp) and are handed over by address.
#include "platform/windowing.h"

#include "platform/win32/windows_api.h"

namespace platform {

uint16_t RegisterClassExW(const WndClassExW* windowClass) {
    return ::RegisterClassExW(reinterpret_cast<const WNDCLASSEXW*>(windowClass));
}

Hwnd CreateWindowExA(uint32_t exStyle, const char* className, const char* windowName, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, Hwnd parent, void* menu, Module instance,
                     void* parameter) {
    return ::CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, static_cast<HWND>(parent),
                             static_cast<HMENU>(menu), static_cast<HINSTANCE>(instance), parameter);
}

bool DestroyWindow(Hwnd window) { return ::DestroyWindow(static_cast<HWND>(window)) != FALSE; }

intptr_t DefWindowProcW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return ::DefWindowProcW(static_cast<HWND>(window), message, wParam, lParam);
}

int32_t GetMessageW(Msg* message, Hwnd window, uint32_t filterMin, uint32_t filterMax) {
    return ::GetMessageW(reinterpret_cast<MSG*>(message), static_cast<HWND>(window), filterMin, filterMax);
}

bool TranslateMessage(const Msg* message) {
    return ::TranslateMessage(reinterpret_cast<const MSG*>(message)) != FALSE;
}

intptr_t DispatchMessageW(const Msg* message) { return ::DispatchMessageW(reinterpret_cast<const MSG*>(message)); }

void PostQuitMessage(int32_t exitCode) { ::PostQuitMessage(exitCode); }

intptr_t SendMessageW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return ::SendMessageW(static_cast<HWND>(window), message, wParam, lParam);
}

bool PostMessageW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return ::PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

Hwnd FindWindowA(const char* className, const char* windowName) { return ::FindWindowA(className, windowName); }

Notification RegisterDeviceNotificationW(Handle recipient, void* filter, uint32_t flags) {
    return ::RegisterDeviceNotificationW(recipient, filter, flags);
}

bool UnregisterDeviceNotification(Notification notification) {
    return ::UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(notification)) != FALSE;
}

}  // namespace platform
