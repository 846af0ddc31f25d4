// Opening host controllers, hubs and devices by path, and the buffered
// I/O controls of the USB host-controller and hub drivers.
#pragma once

#include "platform/types.h"

namespace platform {

Handle CreateFileA(const char* path, uint32_t access, uint32_t shareMode, void* security, uint32_t disposition,
                   uint32_t flags, Handle templateFile);
Handle CreateFileW(const char16_t* path, uint32_t access, uint32_t shareMode, void* security, uint32_t disposition,
                   uint32_t flags, Handle templateFile);
bool CloseHandle(Handle handle);

// One buffer serves as input and output for the USB requests; success is a
// true result, and *bytesReturned holds the size of the answer.
bool DeviceIoControl(Handle device, uint32_t code, void* inBuffer, uint32_t inSize, void* outBuffer,
                     uint32_t outSize, uint32_t* bytesReturned, Overlapped* overlapped);

}  // namespace platform
