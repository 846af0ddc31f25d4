// A simulated WinUSB device: its pipes and how each behaves, its control
// requests, and what every open of it shares (data looped back, aborts,
// time-outs). The "winusb.dll" entry points drive it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/overlapped_io.h"

namespace sim {

enum class PipeKind {
    Loopback,  // an OUT pipe's data comes back on the IN pipe of the same number
    Sink,      // takes everything written, gives nothing back
    Source,    // reads return as many bytes as asked, a counting pattern
    Stall,     // every transfer fails as a stalled endpoint does (ERROR_GEN_FAILURE)
    Silent,    // never answers: a transfer ends only by time-out or abort
};

struct PipeBehaviour {
    uint8_t id = 0;           // endpoint address; bit 7 set for IN pipes
    PipeKind kind = PipeKind::Loopback;
    uint32_t delayMs = 0;     // a slow pipe takes this long before it serves a transfer
};

struct WinUsbBehaviour {
    std::vector<PipeBehaviour> pipes;
    uint8_t speed = 3;            // what WinUsb_QueryDeviceInformation reports (3: high speed)
    bool controlStalls = false;   // every control request stalls
    uint32_t controlDelayMs = 0;  // how long a control request takes
};

// Answers a standard GET_DESCRIPTOR (type, index, language) from the
// machine model; false when the device has no such descriptor.
using DescriptorSource = std::function<bool(uint8_t type, uint8_t index, uint16_t language,
                                            std::vector<uint8_t>* bytes)>;

class WinUsbDevice {
public:
    WinUsbDevice(WinUsbBehaviour behaviour, DescriptorSource descriptors);

    // Test controls.
    void setPipe(const PipeBehaviour& pipe);
    void setControlStalls(bool stalls);
    void unplug();  // blocked transfers end, later ones fail (ERROR_BAD_COMMAND)
    bool connected();
    std::vector<uint8_t> lastWritten(uint8_t pipe);  // the last transfer a pipe took
    size_t blockedTransfers();                       // transfers waiting right now
    // Waits until at least n transfers are blocked (a test's way to know
    // that another thread has reached its wait).
    bool waitForBlockedTransfers(size_t n, uint32_t milliseconds);

    // What the entry points do; each returns a system error code (0: done).
    uint32_t readPipe(uint8_t pipe, uint8_t* buffer, uint32_t length, uint32_t* transferred);
    uint32_t writePipe(uint8_t pipe, const uint8_t* buffer, uint32_t length, uint32_t* transferred);
    uint32_t setPipePolicy(uint8_t pipe, uint32_t policy, uint32_t valueLength, const void* value);
    uint32_t abortPipe(uint8_t pipe);
    uint32_t controlTransfer(const uint8_t setup[8], uint8_t* buffer, uint32_t length, uint32_t* transferred);
    uint32_t descriptor(uint8_t type, uint8_t index, uint16_t language, uint8_t* buffer, uint32_t length,
                        uint32_t* transferred);
    uint8_t speed();

private:
    struct Pipe {
        PipeBehaviour behaviour;
        uint32_t timeoutMs = 0;  // PIPE_TRANSFER_TIMEOUT; 0 waits without limit
        uint64_t aborts = 0;
        std::deque<std::vector<uint8_t>> queued;  // data waiting on an IN pipe
        size_t queuedBytes = 0;
        uint8_t sourceNext = 0;
        std::vector<uint8_t> lastWritten;
    };

    Pipe* pipeLocked(uint8_t id);
    // Waits (lock held) until ready(), an abort of the pipe, an unplug, or the
    // deadline; returns 0 when ready.
    uint32_t waitLocked(std::unique_lock<std::mutex>& guard, Pipe& pipe, uint64_t abortsAtStart,
                        std::chrono::steady_clock::time_point readyAt, const std::function<bool()>& ready);

    std::mutex lock_;
    std::condition_variable changed_;
    WinUsbBehaviour behaviour_;
    DescriptorSource descriptors_;
    std::map<uint8_t, Pipe> pipes_;  // pipe 0 is the control pipe
    std::vector<uint8_t> vendorData_;
    bool connected_ = true;
    size_t blocked_ = 0;
};

// What CreateFile opens on a WinUSB device's interface path: WinUsb_Initialize
// accepts only a handle to one of these. ReadFile and WriteFile on it fail
// (ERROR_INVALID_FUNCTION), as on a real WinUSB interface.
class WinUsbInterfaceFile : public FileEndpoint {
public:
    explicit WinUsbInterfaceFile(std::shared_ptr<WinUsbDevice> device) : device_(std::move(device)) {}
    void start(const std::shared_ptr<IoRequest>& request) override;
    void closed(FileObject& file) override;
    const std::shared_ptr<WinUsbDevice>& device() const { return device_; }

private:
    std::shared_ptr<WinUsbDevice> device_;
};

}  // namespace sim
