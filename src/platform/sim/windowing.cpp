// Windows and device notifications of the simulated machine: not simulated
// yet, so a window class cannot be registered.
#include "platform/windowing.h"

#include "platform/files.h"

namespace platform {

uint16_t RegisterClassExW(const WndClassExW*) {
    SetLastError(kErrorNotSupported);
    return 0;
}
Hwnd CreateWindowExA(uint32_t, const char*, const char*, uint32_t, int32_t, int32_t, int32_t, int32_t, Hwnd, void*,
                     Module, void*) {
    SetLastError(kErrorNotSupported);
    return nullptr;
}
bool DestroyWindow(Hwnd) { return false; }
intptr_t DefWindowProcW(Hwnd, uint32_t, uintptr_t, intptr_t) { return 0; }
int32_t GetMessageW(Msg*, Hwnd, uint32_t, uint32_t) { return -1; }
bool TranslateMessage(const Msg*) { return false; }
intptr_t DispatchMessageW(const Msg*) { return 0; }
void PostQuitMessage(int32_t) {}
intptr_t SendMessageW(Hwnd, uint32_t, uintptr_t, intptr_t) { return 0; }
bool PostMessageW(Hwnd, uint32_t, uintptr_t, intptr_t) { return false; }
Hwnd FindWindowA(const char*, const char*) { return nullptr; }
Notification RegisterDeviceNotificationW(Handle, void*, uint32_t) { return nullptr; }
bool UnregisterDeviceNotification(Notification) { return false; }

}  // namespace platform
