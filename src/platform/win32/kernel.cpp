// Kernel services: the process heap, the tick count, modules and library
// loading, threads, and the UTF-8 to UTF-16 conversion.
#include "platform/kernel.h"

#include "platform/win32/windows_api.h"

namespace platform {

void* HeapAllocZero(size_t bytes) { return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }

void HeapFreeBlock(void* block) {
    if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
}

uint32_t GetTickCount() { return ::GetTickCount(); }

Module GetModuleHandleA(const char* name) { return ::GetModuleHandleA(name); }

Module GetModuleHandleW(const char16_t* name) { return ::GetModuleHandleW(win32::wide(name)); }

uint32_t GetModuleFileNameA(Module module, char* buffer, uint32_t size) {
    DWORD length = ::GetModuleFileNameA(static_cast<HMODULE>(module), buffer, size);
    if (length != 0 && length < size) {
        // The system leaves the last error as it was on success; callers
        // look at it, so a whole path clears it.
        ::SetLastError(ERROR_SUCCESS);
    } else if (length != 0) {
        // A path cut to fit: older systems (and Wine) leave it without its
        // terminating zero. It is always terminated here.
        buffer[size - 1] = '\0';
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    }
    return length;
}

Module LoadLibraryA(const char* name) { return ::LoadLibraryA(name); }

void* GetProcAddress(Module module, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool FreeLibrary(Module module) { return ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE; }

namespace {

// The library's thread routines return a 32-bit code and take one pointer;
// the system's take and return its own types. The start record carries
// the routine across and is released by the new thread.
struct ThreadStart {
    ThreadRoutine routine;
    void* parameter;
};

DWORD WINAPI startThread(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    ::HeapFree(::GetProcessHeap(), 0, argument);
    return start.routine(start.parameter);
}

}  // namespace

Handle CreateThread(void* security, size_t stackSize, ThreadRoutine routine, void* parameter, uint32_t flags,
                    uint32_t* threadId) {
    if (routine == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* start = static_cast<ThreadStart*>(::HeapAlloc(::GetProcessHeap(), 0, sizeof(ThreadStart)));
    if (start == nullptr) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    *start = ThreadStart{routine, parameter};
    HANDLE thread = win32::withCount(threadId, [&](DWORD* id) {
        return ::CreateThread(static_cast<SECURITY_ATTRIBUTES*>(security), stackSize, startThread, start, flags, id);
    });
    if (thread == nullptr) {
        DWORD error = ::GetLastError();
        ::HeapFree(::GetProcessHeap(), 0, start);
        ::SetLastError(error);
    }
    return thread;
}

int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength,
                            char16_t* output, int32_t outputUnits) {
    // No output place means a count of the units needed.
    if (output == nullptr) outputUnits = 0;
    return ::MultiByteToWideChar(codePage, flags, text, textLength, win32::wide(output), outputUnits);
}

}  // namespace platform
