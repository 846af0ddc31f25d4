// The running side of a HID interface of the machine model: output reports
// written with WriteFile, input reports read with ReadFile, overlapped, as
// its HidBehaviour says. Reports are a report id byte and the report's data,
// as long as the behaviour's input and output report lengths.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/model/machine.h"
#include "platform/sim/io/overlapped_io.h"

namespace sim {

class HidDevice : public std::enable_shared_from_this<HidDevice> {
public:
    explicit HidDevice(const HidBehaviour& behaviour) : behaviour_(behaviour) {}

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
