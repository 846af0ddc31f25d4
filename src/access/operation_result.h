// How the device operations end: every one keeps its result in the entry's
// lastResult and returns it; a failed system call leaves its error code in
// lastError.
#pragma once

#include <cstdint>

#include "base/device_entry.h"
#include "platform/files.h"

inline int32_t finishOperation(DeviceEntry& entry, int32_t result) {
    entry.lastResult = result;
    return result;
}

inline void recordSystemError(DeviceEntry& entry) { entry.lastError = platform::GetLastError(); }
