// Files and overlapped I/O, events and waits, and the thread's last error.
#include "platform/files.h"

#include "platform/win32/windows_api.h"

namespace platform {

uint32_t GetLastError() { return ::GetLastError(); }

void SetLastError(uint32_t error) { ::SetLastError(error); }

// The OVERLAPPED record is handed over by address: the system completes
// pending I/O into it after the call has returned.
bool ReadFile(Handle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead, Overlapped* overlapped) {
    return win32::withCount(bytesRead, [&](DWORD* read) {
        return ::ReadFile(file, buffer, bytesToRead, read, win32::systemOverlapped(overlapped)) != FALSE;
    });
}

bool WriteFile(Handle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten,
               Overlapped* overlapped) {
    return win32::withCount(bytesWritten, [&](DWORD* written) {
        return ::WriteFile(file, buffer, bytesToWrite, written, win32::systemOverlapped(overlapped)) != FALSE;
    });
}

bool GetOverlappedResult(Handle file, Overlapped* overlapped, uint32_t* bytesTransferred, bool wait) {
    return win32::withCount(bytesTransferred, [&](DWORD* transferred) {
        return ::GetOverlappedResult(file, win32::systemOverlapped(overlapped), transferred, wait ? TRUE : FALSE) !=
               FALSE;
    });
}

bool CancelIo(Handle file) { return ::CancelIo(file) != FALSE; }

Handle CreateEventW(void* security, bool manualReset, bool initialState, const char16_t* name) {
    return ::CreateEventW(static_cast<SECURITY_ATTRIBUTES*>(security), manualReset ? TRUE : FALSE,
                          initialState ? TRUE : FALSE, win32::wide(name));
}

bool SetEvent(Handle event) { return ::SetEvent(event) != FALSE; }

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
    return ::WaitForSingleObject(object, milliseconds);
}

}  // namespace platform
