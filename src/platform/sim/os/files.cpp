// ReadFile, WriteFile, GetOverlappedResult and CancelIo on the simulated
// machine's files. A file opened with FILE_FLAG_OVERLAPPED gets
// ERROR_IO_PENDING for a request its device does not end at once; one
// opened without it waits for the request to end.
//
// An overlapped request reads STATUS_PENDING in OVERLAPPED.Internal from
// the moment the call begins, before any argument is checked; a request
// that fails at once leaves it there and never signals its event (Wine
// dlls/kernelbase/file.c ReadFile and WriteFile, dlls/ntdll/unix/file.c
// NtReadFile and NtWriteFile).
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/io/event_object.h"
#include "platform/sim/model/error_codes.h"
#include "platform/sim/io/io_state.h"
#include "platform/sim/io/overlapped_io.h"

namespace sim {
namespace {


constexpr uint32_t kGenericAll = 0x10000000u;
bool mayRead(uint32_t access) { return (access & (platform::kGenericRead | kGenericAll | 0x1)) != 0; }
bool mayWrite(uint32_t access) { return (access & (platform::kGenericWrite | kGenericAll | 0x2 | 0x4)) != 0; }

std::string describeCall(platform::Handle file, uint32_t length, const platform::Overlapped* overlapped) {
    return std::to_string(reinterpret_cast<uintptr_t>(file)) + " " + std::to_string(length) +
           (overlapped != nullptr ? " overlapped" : "");
}

bool issue(IoRequest::Kind kind, platform::Handle handle, uint8_t* buffer, const void* source, uint32_t length,
           uint32_t* transferred, platform::Overlapped* overlapped) {
    auto file = findHandleAs<FileObject>(handle);
    if (file == nullptr) {
        platform::SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    bool allowed = kind == IoRequest::Kind::Read ? mayRead(file->fileAccess()) : mayWrite(file->fileAccess());
    if (!allowed) {
        platform::SetLastError(platform::kErrorAccessDenied);
        return false;
    }
    if (length > 0 && (kind == IoRequest::Kind::Read ? buffer == nullptr : source == nullptr)) {
        platform::SetLastError(kErrorNoAccess);
        return false;
    }
    if (overlapped == nullptr && (file->overlapped() || transferred == nullptr)) {
        // An overlapped file needs an OVERLAPPED; a synchronous call needs a
        // place for the count.
        platform::SetLastError(platform::kErrorInvalidParameter);
        return false;
    }
    if (transferred != nullptr) *transferred = 0;

    auto request = std::make_shared<IoRequest>();
    request->kind = kind;
    request->length = length;
    request->buffer = buffer;
    if (kind == IoRequest::Kind::Write && length > 0) {
        const uint8_t* bytes = static_cast<const uint8_t*>(source);
        request->written.assign(bytes, bytes + length);
    }
    request->overlapped = overlapped;
    request->file = file;
    request->issuer = std::this_thread::get_id();
    if (overlapped != nullptr && overlapped->hEvent != nullptr) {
        request->event = findHandleAs<EventObject>(overlapped->hEvent);
        if (request->event == nullptr) {
            platform::SetLastError(platform::kErrorInvalidHandle);
            return false;
        }
        request->event->reset();  // the system clears the event as the request starts
    }
    file->reset();

    IoState& s = ioState();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        request->starting = true;
        s.pending.insert(request);
    }
    if (file->endpoint)
        file->endpoint->start(request);
    else
        completeRequest(request, kErrorInvalidFunction);

    bool endedInline;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        request->starting = false;
        endedInline = request->done && request->endedInline;
    }
    if (!endedInline) {
        if (file->overlapped()) {
            platform::SetLastError(platform::kErrorIoPending);
            return false;
        }
        request->finished->wait(platform::kInfinite);
    }
    uint32_t error;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        error = request->error;
        if (transferred != nullptr) *transferred = request->transferred;
    }
    if (error != platform::kErrorSuccess) {
        platform::SetLastError(error);
        return false;
    }
    return true;
}

}  // namespace

void markPending(platform::Overlapped* overlapped) {
    if (overlapped == nullptr) return;
    std::lock_guard<std::mutex> guard(ioState().lock);
    overlapped->Internal = kStatusPending;
    overlapped->InternalHigh = 0;
}

void completeAtOnce(platform::Overlapped* overlapped, uint32_t transferred, uint32_t warning) {
    {
        std::lock_guard<std::mutex> guard(ioState().lock);
        overlapped->Internal = statusFromError(warning);
        overlapped->InternalHigh = transferred;
    }
    if (overlapped->hEvent == nullptr) return;
    if (auto event = findHandleAs<EventObject>(overlapped->hEvent)) event->signal();
}

}  // namespace sim

namespace platform {

bool ReadFile(Handle file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead, Overlapped* overlapped) {
    sim::markPending(overlapped);
    if (sim::failHere("ReadFile", sim::describeCall(file, bytesToRead, overlapped))) return false;
    return sim::issue(sim::IoRequest::Kind::Read, file, static_cast<uint8_t*>(buffer), nullptr, bytesToRead,
                      bytesRead, overlapped);
}

bool WriteFile(Handle file, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten,
               Overlapped* overlapped) {
    sim::markPending(overlapped);
    if (sim::failHere("WriteFile", sim::describeCall(file, bytesToWrite, overlapped))) return false;
    return sim::issue(sim::IoRequest::Kind::Write, file, nullptr, buffer, bytesToWrite, bytesWritten, overlapped);
}

// As Wine dlls/kernelbase/file.c GetOverlappedResultEx: a request still
// pending is waited for on its event, or on the file when it has none, and
// nothing else; a wait that ends with Internal still pending reads as
// success. The file handle itself is not looked at otherwise, so a request
// that failed at once (its event never signalled) is waited for forever.
bool GetOverlappedResult(Handle file, Overlapped* overlapped, uint32_t* bytesTransferred, bool wait) {
    if (sim::failHere("GetOverlappedResult", wait ? "wait" : "no wait")) return false;
    if (overlapped == nullptr || bytesTransferred == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    sim::IoState& s = sim::ioState();
    uintptr_t status;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        status = overlapped->Internal;
    }
    if (status == sim::kStatusPending) {
        if (!wait) {
            SetLastError(kErrorIoIncomplete);
            return false;
        }
        auto waitable = sim::findHandleAs<sim::Waitable>(overlapped->hEvent != nullptr ? overlapped->hEvent : file);
        if (waitable == nullptr) {
            SetLastError(kErrorInvalidHandle);
            return false;
        }
        waitable->wait(kInfinite);
        std::lock_guard<std::mutex> guard(s.lock);
        status = overlapped->Internal;
        if (status == sim::kStatusPending) status = 0;
    }
    uint32_t transferred;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        transferred = static_cast<uint32_t>(overlapped->InternalHigh);
    }
    *bytesTransferred = transferred;
    if (status != 0) {
        SetLastError(sim::errorFromStatus(status));
        return false;
    }
    return true;
}

bool CancelIo(Handle file) {
    if (sim::failHere("CancelIo")) return false;
    auto object = sim::findHandleAs<sim::FileObject>(file);
    if (object == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    // Only the calling thread's requests, and each ends when its device lets
    // go of it: at once, later on another thread, or not before it answers.
    for (const auto& request : sim::askCancel(object.get(), true)) sim::cancelOn(*object, request);
    return true;
}

}  // namespace platform
