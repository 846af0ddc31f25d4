// State shared by the overlapped-request machinery and the file calls.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/types.h"

namespace sim {

struct IoRequest;
class FileObject;

// NTSTATUS of a request still running, as the system leaves it in
// OVERLAPPED.Internal.
constexpr uintptr_t kStatusPending = 0x103;
// The warning a driver answers when the caller's buffer held only part of a
// variable-length answer; the caller sees ERROR_MORE_DATA (Wine
// dlls/ntdll/error.c maps one to the other).
constexpr uintptr_t kStatusBufferOverflow = 0x80000005;

struct IoState {
    std::mutex lock;  // guards every request and the OVERLAPPED fields it writes
    std::set<std::shared_ptr<IoRequest>> pending;
};

IoState& ioState();
uintptr_t statusFromError(uint32_t error);
uint32_t errorFromStatus(uintptr_t status);
// Marks the file's pending requests as to be cancelled (only the calling
// thread's when callerOnly) and returns those newly marked.
std::vector<std::shared_ptr<IoRequest>> askCancel(const FileObject* file, bool callerOnly);
// What ReadFile, WriteFile and DeviceIoControl write into an OVERLAPPED
// first of all: STATUS_PENDING and no bytes.
void markPending(platform::Overlapped* overlapped);
// A request that ended while its call ran with no error (success, or a
// warning such as ERROR_MORE_DATA): status and count written, its event (if
// any) signalled.
void completeAtOnce(platform::Overlapped* overlapped, uint32_t transferred, uint32_t warning = 0);
// Hands a request marked for cancelling to the file's endpoint.
void cancelOn(FileObject& file, const std::shared_ptr<IoRequest>& request);

}  // namespace sim
