// The running side of a WinUSB device of the machine model: what every open
// of it shares (data looped back, pipe time-outs, aborts, vendor echo). The
// "winusb.dll" entry points drive it; the model record says how each pipe
// behaves and which descriptors the device has.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/model/machine.h"
#include "platform/sim/io/overlapped_io.h"

namespace sim {

class WinUsbDevice {
public:
    explicit WinUsbDevice(const Device& model);

    // The model changed (same device, new knobs); pipes keep what they hold.
    void update(const Device& model);
    // Blocked transfers end, later ones fail (ERROR_BAD_COMMAND).
    void unplug();
    bool connected();
    std::vector<uint8_t> lastWritten(uint8_t pipe);  // the last transfer an OUT pipe took
    // Waits until at least n transfers are blocked in the device (a test's
    // way to know that another thread has reached its wait).
    bool waitForBlockedTransfers(size_t n, uint32_t milliseconds);

    // What the entry points do; each returns a system error code (0: done).
    uint32_t readPipe(uint8_t pipe, uint8_t* buffer, uint32_t length, uint32_t* transferred);
    uint32_t writePipe(uint8_t pipe, const uint8_t* buffer, uint32_t length, uint32_t* transferred);
    uint32_t setPipePolicy(uint8_t pipe, uint32_t policy, uint32_t valueLength, const void* value);
    uint32_t abortPipe(uint8_t pipe);
    uint32_t controlTransfer(const uint8_t setup[8], uint8_t* buffer, uint32_t length, uint32_t* transferred);
    uint32_t descriptor(uint8_t type, uint8_t index, uint16_t language, uint8_t* buffer, uint32_t length,
                        uint32_t* transferred);
    // WinUsb_QueryDeviceInformation's DEVICE_SPEED: 1 full speed or lower,
    // 3 high speed or higher.
    uint8_t speed();

private:
    struct Pipe {
        PipeBehaviour behaviour;
        bool listed = false;     // named by the model (else only the target of a loopback)
        uint32_t timeoutMs = 0;  // PIPE_TRANSFER_TIMEOUT; 0 waits without limit
        uint64_t aborts = 0;
        std::deque<std::vector<uint8_t>> queued;  // looped-back data waiting on an IN pipe
        size_t queuedBytes = 0;
        std::vector<uint8_t> lastWritten;
    };

    void applyModelLocked(const Device& model);
    Pipe* pipeLocked(uint8_t id);
    bool descriptorLocked(uint8_t type, uint8_t index, uint16_t language, std::vector<uint8_t>* bytes);
    // Waits (lock held) until ready(), an abort of the pipe, an unplug, or the
    // pipe's time-out; returns 0 when ready.
    uint32_t waitLocked(std::unique_lock<std::mutex>& guard, Pipe& pipe, uint64_t abortsAtStart,
                        std::chrono::steady_clock::time_point readyAt, const std::function<bool()>& ready);

    std::mutex lock_;
    std::condition_variable changed_;
    Device model_;
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
