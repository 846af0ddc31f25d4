// Driver key names: how the host-controller and hub drivers name the device
// behind a controller or a hub port (equal to its SPDRP_DRIVER value).
#pragma once

#include <cstdint>

#include "platform/types.h"

// The driver key name of an open host controller, as narrow text from the
// process heap (release with platform::HeapFreeBlock), or null.
char* getHostControllerDriverKey(platform::Handle hostController);

// The driver key name of the device on a hub port (from 1), as narrow text
// from the process heap, or null.
char* getPortDriverKey(platform::Handle hub, uint32_t port);

// Largest name answer accepted from a driver: a counted system string holds
// at most 64 KiB, so a larger ActualLength can only be a faulty answer.
constexpr uint32_t kLargestNameAnswer = 0x10000;

// Narrows the UTF-16 name that starts textOffset bytes into an answer of
// size bytes (process-heap form of wcstcs). The last whole code unit of the
// answer is made the terminator first, so an answer that fills its buffer
// cannot lead the narrowing past it.
char* narrowNameAnswer(uint8_t* answer, uint32_t size, uint32_t textOffset);
