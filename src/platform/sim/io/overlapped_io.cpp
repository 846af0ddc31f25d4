#include "platform/sim/io/overlapped_io.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/files.h"
#include "platform/sim/control/misuse.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/io/handles.h"
#include "platform/sim/io/io_state.h"
#include "platform/sim/io/scheduler.h"
#include "platform/sim/model/error_codes.h"

namespace sim {

IoState& ioState() {
    static IoState* s = new IoState;
    return *s;
}

uintptr_t statusFromError(uint32_t error) {
    switch (error) {
        case platform::kErrorSuccess: return 0;
        case platform::kErrorOperationAborted: return 0xC0000120;  // STATUS_CANCELLED
        case platform::kErrorHandleEof: return 0xC0000011;         // STATUS_END_OF_FILE
        case platform::kErrorSemTimeout: return 0xC00000B5;        // STATUS_IO_TIMEOUT
        case platform::kErrorDeviceNotConnected: return 0xC000009D;
        case kErrorMoreData: return kStatusBufferOverflow;  // a warning: the data went back
        default: return 0xE0000000u | error;  // a customer status carrying the code
    }
}

uint32_t errorFromStatus(uintptr_t status) {
    switch (status) {
        case 0: return platform::kErrorSuccess;
        case 0xC0000120: return platform::kErrorOperationAborted;
        case 0xC0000011: return platform::kErrorHandleEof;
        case 0xC00000B5: return platform::kErrorSemTimeout;
        case 0xC000009D: return platform::kErrorDeviceNotConnected;
        case kStatusBufferOverflow: return kErrorMoreData;
        default: return static_cast<uint32_t>(status & 0xFFFF);
    }
}

bool completeRequest(const std::shared_ptr<IoRequest>& request, uint32_t error, const uint8_t* data,
                     uint32_t bytes) {
    IoState& s = ioState();
    std::shared_ptr<FileObject> file;
    bool failedInline;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (request->done) return false;
        request->done = true;
        request->endedInline = request->starting && std::this_thread::get_id() == request->issuer;
        request->error = error;
        if (request->kind == IoRequest::Kind::Read) {
            bytes = data == nullptr ? 0 : std::min(bytes, request->length);
            if (bytes > 0 && !request->orphaned) std::memcpy(request->buffer, data, bytes);
        } else {
            bytes = std::min(bytes, request->length);
        }
        request->transferred = error == platform::kErrorSuccess ? bytes : 0;
        // A request its driver fails while it is being issued is never
        // written back: its OVERLAPPED keeps STATUS_PENDING and neither its
        // event nor the file is signalled; the caller learns of the failure
        // from the call alone (Wine dlls/ntdll/unix/file.c NtReadFile and
        // NtWriteFile write the status block and set the event only for a
        // request that succeeded or is pending).
        failedInline = request->endedInline && error != platform::kErrorSuccess;
        if (request->overlapped != nullptr && !request->orphaned && !failedInline) {
            request->overlapped->InternalHigh = request->transferred;
            request->overlapped->Internal = statusFromError(error);
        }
        s.pending.erase(request);
        file = request->file.lock();
    }
    if (!failedInline) {
        if (request->event) request->event->signal();
        if (file) file->signal();
    }
    request->finished->signal();
    return true;
}

bool requestDone(const std::shared_ptr<IoRequest>& request) {
    std::lock_guard<std::mutex> guard(ioState().lock);
    return request->done;
}

bool cancelAsked(const std::shared_ptr<IoRequest>& request) {
    std::lock_guard<std::mutex> guard(ioState().lock);
    return request->cancelAsked;
}

void FileEndpoint::cancel(const std::shared_ptr<IoRequest>& request) {
    completeRequest(request, platform::kErrorOperationAborted);
}

void cancelLaterOrIgnore(const std::shared_ptr<IoRequest>& request, uint32_t delayMs, bool ignore) {
    if (ignore) return;
    if (delayMs == 0) {
        completeRequest(request, platform::kErrorOperationAborted);
        return;
    }
    runLater(delayMs, [request] { completeRequest(request, platform::kErrorOperationAborted); });
}

std::vector<std::shared_ptr<IoRequest>> askCancel(const FileObject* file, bool callerOnly) {
    IoState& s = ioState();
    std::vector<std::shared_ptr<IoRequest>> chosen;
    std::lock_guard<std::mutex> guard(s.lock);
    for (const auto& request : s.pending) {
        if (request->cancelAsked || request->file.lock().get() != file) continue;
        if (callerOnly && request->issuer != std::this_thread::get_id()) continue;
        request->cancelAsked = true;
        chosen.push_back(request);
    }
    return chosen;
}

void cancelOn(FileObject& file, const std::shared_ptr<IoRequest>& request) {
    if (file.endpoint)
        file.endpoint->cancel(request);
    else
        completeRequest(request, platform::kErrorOperationAborted);
}

void FileObject::onClose() {
    for (const auto& request : askCancel(this, false)) cancelOn(*this, request);
    if (endpoint) endpoint->closed(*this);
}

namespace {

class PlainFile : public FileObject {
public:
    PlainFile(uint32_t access, uint32_t flags) : access_(access), flags_(flags) {}
    uint32_t fileAccess() const override { return access_; }
    uint32_t fileFlags() const override { return flags_; }

private:
    uint32_t access_;
    uint32_t flags_;
};

}  // namespace

platform::Handle openEndpointFile(uint32_t access, uint32_t flags, std::shared_ptr<FileEndpoint> endpoint) {
    auto file = std::make_shared<PlainFile>(access, flags);
    file->endpoint = std::move(endpoint);
    return openHandle(file);
}

void orphanRequestsSignalling(const Waitable* event) {
    IoState& s = ioState();
    size_t orphaned = 0;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        for (const auto& request : s.pending) {
            if (request->event.get() != event || request->orphaned) continue;
            request->orphaned = true;
            ++orphaned;
        }
    }
    if (orphaned > 0)
        reportMisuse("an event was closed while " + std::to_string(orphaned) +
                     " overlapped request(s) that signal it were still pending; their buffer and OVERLAPPED "
                     "would be written after their owner let go of them");
}

size_t pendingRequests() {
    std::lock_guard<std::mutex> guard(ioState().lock);
    return ioState().pending.size();
}

}  // namespace sim
