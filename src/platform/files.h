// Files and overlapped I/O: reads and writes with events, waits with
// time-outs, cancellation, and the per-thread last error.
#pragma once

#include "platform/types.h"

namespace platform {

uint32_t GetLastError();
void SetLastError(uint32_t error);

bool ReadFile(Handle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead, Overlapped* overlapped);
bool WriteFile(Handle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten,
               Overlapped* overlapped);
bool GetOverlappedResult(Handle file, Overlapped* overlapped, uint32_t* bytesTransferred, bool wait);
bool CancelIo(Handle file);

Handle CreateEventW(void* security, bool manualReset, bool initialState, const char16_t* name);
bool SetEvent(Handle event);
uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds);

}  // namespace platform
