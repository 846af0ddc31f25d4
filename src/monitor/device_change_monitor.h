// The device-change monitor: a thread of its own that owns a hidden window,
// receives USB device-interface arrival and removal notifications, and runs
// the companion program for each. It shares no state with the caller's
// threads.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace DeviceChangeMonitor {

constexpr char16_t kWindowClassNameW[] = u"KESTRACommWinUSBLib";
constexpr char kWindowClassName[] = "KESTRACommWinUSBLib";
constexpr char kWindowName[] = "KESTRAWinUSBLib";

// Exit codes of the thread; nobody reads them.
constexpr uint32_t kExitNoWindow = 0xFFFFFFFF;
constexpr uint32_t kExitLoopEnded = 1;

// The thread's main function; the parameter is not used.
uint32_t run(void* unused);

// Registers the hidden window's class; false when the system refuses it
// (among others because a monitor of this process registered it already).
bool registerWindowClass();

// The hidden window's procedure.
intptr_t windowProc(platform::Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace DeviceChangeMonitor
