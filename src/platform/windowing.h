// Window classes, hidden windows, message loops and device notifications.
#pragma once

#include "platform/types.h"

namespace platform {

using WindowProcedure = intptr_t (*)(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// WNDCLASSEXW
struct WndClassExW {
    uint32_t cbSize;
    uint32_t style;
    WindowProcedure lpfnWndProc;
    int32_t cbClsExtra;
    int32_t cbWndExtra;
    Module hInstance;
    void* hIcon;
    void* hCursor;
    void* hbrBackground;
    const char16_t* lpszMenuName;
    const char16_t* lpszClassName;
    void* hIconSm;
};
static_assert(sizeof(WndClassExW) == 80, "WNDCLASSEXW");

// MSG
struct Msg {
    Hwnd hwnd;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    uint32_t time;
    int32_t ptX;
    int32_t ptY;
    uint32_t lPrivate;
};
static_assert(sizeof(Msg) == 48, "MSG");

uint16_t RegisterClassExW(const WndClassExW* windowClass);
Hwnd CreateWindowExA(uint32_t exStyle, const char* className, const char* windowName, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, Hwnd parent, void* menu, Module instance,
                     void* parameter);
bool DestroyWindow(Hwnd window);
intptr_t DefWindowProcW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);

int32_t GetMessageW(Msg* message, Hwnd window, uint32_t filterMin, uint32_t filterMax);
bool TranslateMessage(const Msg* message);
intptr_t DispatchMessageW(const Msg* message);
void PostQuitMessage(int32_t exitCode);
intptr_t SendMessageW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool PostMessageW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
Hwnd FindWindowA(const char* className, const char* windowName);

Notification RegisterDeviceNotificationW(Handle recipient, void* filter, uint32_t flags);
bool UnregisterDeviceNotification(Notification notification);

}  // namespace platform
