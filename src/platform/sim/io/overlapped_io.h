// Files opened by path and the overlapped requests issued on them.
//
// A file handle names a FileObject; what lies behind it (a HID device, a
// WinUSB device interface, a test's own stand-in) is a FileEndpoint. ReadFile
// and WriteFile make an IoRequest and hand it to the endpoint, which ends it
// at once (on the issuing thread) or later from any thread. Ending a request
// copies what was read into the caller's buffer, fills the overlapped
// structure and signals its event, as the system does; except a request
// that fails at once, which touches neither.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/sim/io/waitable.h"
#include "platform/types.h"

namespace sim {

class FileObject;

struct IoRequest {
    enum class Kind { Read, Write };
    Kind kind = Kind::Read;
    uint32_t length = 0;           // bytes to read, or bytes written
    std::vector<uint8_t> written;  // a write's bytes, copied when it was issued

    // Kept by the request machinery.
    uint8_t* buffer = nullptr;
    platform::Overlapped* overlapped = nullptr;
    std::shared_ptr<Waitable> event;
    std::shared_ptr<Waitable> finished = std::make_shared<Waitable>(true);
    std::weak_ptr<FileObject> file;
    std::thread::id issuer;
    bool starting = false;    // the endpoint's start() is still running
    bool endedInline = false; // ended inside start() on the issuing thread
    bool done = false;
    bool cancelAsked = false;
    bool orphaned = false;    // its event was closed: write nothing back
    uint32_t error = 0;
    uint32_t transferred = 0;
};

// Ends the request: a read copies at most its length from data. Returns
// false when it had already ended (a cancel and a completion can race).
bool completeRequest(const std::shared_ptr<IoRequest>& request, uint32_t error, const uint8_t* data = nullptr,
                     uint32_t bytes = 0);
bool requestDone(const std::shared_ptr<IoRequest>& request);
bool cancelAsked(const std::shared_ptr<IoRequest>& request);

class FileEndpoint {
public:
    virtual ~FileEndpoint() = default;
    // Takes a request just issued; ends it now or keeps it to end later.
    virtual void start(const std::shared_ptr<IoRequest>& request) = 0;
    // CancelIo, or the file's handle closed, while the request is pending.
    // By default it ends at once with ERROR_OPERATION_ABORTED.
    virtual void cancel(const std::shared_ptr<IoRequest>& request);
    // The file's handle was closed (after its requests were cancelled).
    virtual void closed(FileObject&) {}
};

// Cancels a request the way a slow driver does: after delayMs, from the
// machine's own thread, or (ignore) not at all, so that it ends when the
// device answers.
void cancelLaterOrIgnore(const std::shared_ptr<IoRequest>& request, uint32_t delayMs, bool ignore);

// What a file handle names: signalled when a request on it ends (for
// GetOverlappedResult without an event). The simulated machine's opens of
// paths derive from it and say what access they were given.
class FileObject : public Waitable {
public:
    FileObject() : Waitable(true) {}
    virtual uint32_t fileAccess() const = 0;
    virtual uint32_t fileFlags() const = 0;
    bool overlapped() const { return (fileFlags() & platform::kFileFlagOverlapped) != 0; }
    // Null when ReadFile and WriteFile mean nothing to what was opened
    // (ERROR_INVALID_FUNCTION).
    std::shared_ptr<FileEndpoint> endpoint;
    // Closing the last handle cancels every request still pending on the
    // file, whichever thread issued it, and lets the endpoint know.
    void onClose() override;
};

// A file on an endpoint that is not part of the machine model, for tests
// and tools that need a device of their own making. No sharing rules apply.
platform::Handle openEndpointFile(uint32_t access, uint32_t flags, std::shared_ptr<FileEndpoint> endpoint);

// Marks the pending requests that would signal this event as orphaned and
// reports the misuse (their owner closed the event before they ended).
void orphanRequestsSignalling(const Waitable* event);

}  // namespace sim
