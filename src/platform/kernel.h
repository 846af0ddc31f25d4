// Kernel services: the process heap, the tick count, modules and library
// loading, threads, and the UTF-8 to UTF-16 conversion.
#pragma once

#include <cstddef>

#include "platform/types.h"

namespace platform {

// Zero-filled process-heap block (HeapAlloc with HEAP_ZERO_MEMORY); null
// when it cannot be had. Released with HeapFreeBlock (null is ignored).
void* HeapAllocZero(size_t bytes);
void HeapFreeBlock(void* block);

uint32_t GetTickCount();

Module GetModuleHandleA(const char* name);
Module GetModuleHandleW(const char16_t* name);
// Length of the path written (0 on failure); sets the last error to 0 on
// success, as the caller checks it.
uint32_t GetModuleFileNameA(Module module, char* buffer, uint32_t size);

Module LoadLibraryA(const char* name);
void* GetProcAddress(Module module, const char* name);
bool FreeLibrary(Module module);

using ThreadRoutine = uint32_t (*)(void* parameter);
Handle CreateThread(void* security, size_t stackSize, ThreadRoutine routine, void* parameter, uint32_t flags,
                    uint32_t* threadId);

// MultiByteToWideChar: with a null or zero-sized output it counts the units
// the conversion needs.
int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength,
                            char16_t* output, int32_t outputUnits);

}  // namespace platform
