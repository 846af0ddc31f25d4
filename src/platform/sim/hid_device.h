// A simulated HID device behind its HID interface path: output reports
// written with WriteFile, input reports read with ReadFile, overlapped.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/overlapped_io.h"

namespace sim {

struct HidBehaviour {
    enum class Answer {
        Echo,    // every output report comes back as an input report
        Silent,  // output reports are taken, nothing ever comes back
    };
    Answer answer = Answer::Echo;
    uint32_t answerDelayMs = 0;  // how long an echoed report takes to come back
    bool writesHang = false;     // output reports are never taken: writes pend until cancelled
    // How a cancelled request ends: after this delay, on the machine's own
    // thread, or (cancelIgnored) only when the device answers it.
    uint32_t cancelDelayMs = 0;
    bool cancelIgnored = false;
    uint16_t inputReportLength = 65;   // report id and 64 data bytes
    uint16_t outputReportLength = 65;
};

class HidDevice : public std::enable_shared_from_this<HidDevice> {
public:
    explicit HidDevice(HidBehaviour behaviour = HidBehaviour()) : behaviour_(behaviour) {}

    void setBehaviour(const HidBehaviour& behaviour);
    HidBehaviour behaviour();
    // The device sends an input report to every open handle (padded or cut
    // to the input report length).
    void sendInputReport(std::vector<uint8_t> report);
    // Output reports written so far, oldest first (the last 64 are kept).
    std::vector<std::vector<uint8_t>> outputReports();
    // Pending requests end with ERROR_DEVICE_NOT_CONNECTED; later ones fail so.
    void unplug();
    bool connected();
    // A new file endpoint for one CreateFile of the HID path.
    std::shared_ptr<FileEndpoint> openEndpoint();
    // Reads waiting for a report, on all handles (for tests to synchronise).
    size_t pendingReads();

private:
    friend class HidFile;
    void deliver(const std::vector<uint8_t>& report);

    std::mutex lock_;
    HidBehaviour behaviour_;
    bool connected_ = true;
    std::deque<std::vector<uint8_t>> outputs_;
    std::vector<std::weak_ptr<class HidFile>> files_;
};

}  // namespace sim
