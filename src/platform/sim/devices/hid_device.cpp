#include "platform/sim/devices/hid_device.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/sim/io/scheduler.h"

namespace sim {
namespace {

constexpr size_t kInputBufferReports = 32;          // what the HID class driver keeps per handle
constexpr size_t kKeptOutputReports = 64;

// A report's first byte names it: one of the declared ids, or 0 when the
// collection declares none.
// Whether a report's first byte may stand: any byte, for a collection that
// declares no report ids (Wine's HID tests record that Windows takes a
// write whose first byte is 0xA5 there, and only Windows 7 refused it:
// dlls/ntoskrnl.exe/tests/ntoskrnl.c, test_hidp, since moved to
// dlls/dinput/tests/hid.c); otherwise one of its ids.
bool declaresReportId(const HidBehaviour& b, uint8_t id) {
    if (b.reportIds.empty()) return true;
    return std::find(b.reportIds.begin(), b.reportIds.end(), id) != b.reportIds.end();
}

}  // namespace

// One open handle: its own buffer of input reports and its waiting reads.
class HidFile : public FileEndpoint, public std::enable_shared_from_this<HidFile> {
public:
    explicit HidFile(std::shared_ptr<HidDevice> device) : device_(std::move(device)) {}

    void start(const std::shared_ptr<IoRequest>& request) override {
        HidBehaviour b;
        bool connected;
        {
            std::lock_guard<std::mutex> guard(device_->lock_);
            b = device_->behaviour_;
            connected = device_->connected_;
        }
        if (!connected) {
            completeRequest(request, platform::kErrorDeviceNotConnected);
            return;
        }
        if (request->kind == IoRequest::Kind::Read)
            startRead(request, b);
        else
            startWrite(request, b);
    }

    void cancel(const std::shared_ptr<IoRequest>& request) override {
        HidBehaviour b = device_->behaviour();
        cancelLaterOrIgnore(request, b.cancelDelayMs, b.cancelIgnored);
    }

    void closed(FileObject&) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            reports_.clear();
            isClosed_ = true;
        }
        // A request whose cancel waits for the device's answer can get none
        // once the handle is gone; closing ends it.
        if (device_->behaviour().cancelIgnored) failAll(platform::kErrorOperationAborted);
    }

    // Hands a report to the oldest read still waiting, or keeps it.
    void take(const std::vector<uint8_t>& report, bool cancelIgnored) {
        for (;;) {
            std::shared_ptr<IoRequest> read;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (isClosed_) return;
                while (!reads_.empty() && (requestDone(reads_.front()) ||
                                           (!cancelIgnored && cancelAsked(reads_.front()))))
                    reads_.pop_front();
                if (reads_.empty()) {
                    reports_.push_back(report);
                    if (reports_.size() > kInputBufferReports) reports_.pop_front();
                    return;
                }
                read = reads_.front();
                reads_.pop_front();
            }
            if (completeRequest(read, platform::kErrorSuccess, report.data(),
                                static_cast<uint32_t>(report.size())))
                return;
        }
    }

    void failAll(uint32_t error) {
        std::deque<std::shared_ptr<IoRequest>> waiting;
        {
            std::lock_guard<std::mutex> guard(lock_);
            waiting.swap(reads_);
            waiting.insert(waiting.end(), writes_.begin(), writes_.end());
            writes_.clear();
        }
        for (const auto& request : waiting) completeRequest(request, error);
    }

    size_t waitingReads() {
        std::lock_guard<std::mutex> guard(lock_);
        size_t n = 0;
        for (const auto& read : reads_)
            if (!requestDone(read)) ++n;
        return n;
    }

private:
    void startRead(const std::shared_ptr<IoRequest>& request, const HidBehaviour& b) {
        // A buffer smaller than one input report fails at once with
        // STATUS_INVALID_BUFFER_SIZE (Wine dlls/hidclass.sys/device.c pdo_read).
        if (request->length < b.inputReportLength) {
            completeRequest(request, kErrorInvalidUserBuffer);
            return;
        }
        std::vector<uint8_t> report;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (reports_.empty()) {
                reads_.push_back(request);
                return;
            }
            report = std::move(reports_.front());
            reports_.pop_front();
        }
        completeRequest(request, platform::kErrorSuccess, report.data(), static_cast<uint32_t>(report.size()));
    }

    void startWrite(const std::shared_ptr<IoRequest>& request, const HidBehaviour& b) {
        // The class driver checks a write before it reaches the device (Wine
        // dlls/hidclass.sys/device.c hid_device_xfer_report, and the WriteFile
        // cases of dlls/hid/tests/device.c): no bytes is STATUS_INVALID_USER_BUFFER;
        // an undeclared report id or fewer bytes than the output report is
        // STATUS_INVALID_PARAMETER; a longer write sends only the report and
        // counts the report's length.
        if (request->length == 0) {
            completeRequest(request, kErrorInvalidUserBuffer);
            return;
        }
        if (!declaresReportId(b, request->written[0]) || request->length < b.outputReportLength) {
            completeRequest(request, platform::kErrorInvalidParameter);
            return;
        }
        if (b.writesHang) {
            std::lock_guard<std::mutex> guard(lock_);
            writes_.push_back(request);
            return;
        }
        std::vector<uint8_t> report(request->written.begin(), request->written.begin() + b.outputReportLength);
        {
            std::lock_guard<std::mutex> guard(device_->lock_);
            device_->outputs_.push_back(report);
            if (device_->outputs_.size() > kKeptOutputReports) device_->outputs_.pop_front();
        }
        completeRequest(request, platform::kErrorSuccess, nullptr, b.outputReportLength);
        if (b.kind != HidReportKind::Echo) return;
        std::shared_ptr<HidDevice> device = device_;
        if (b.answerDelayMs == 0)
            device->deliver(report);
        else
            runLater(b.answerDelayMs, [device, report] { device->deliver(report); });
    }

    std::shared_ptr<HidDevice> device_;
    std::mutex lock_;
    std::deque<std::vector<uint8_t>> reports_;
    std::deque<std::shared_ptr<IoRequest>> reads_;
    std::deque<std::shared_ptr<IoRequest>> writes_;
    bool isClosed_ = false;
};

void HidDevice::setBehaviour(const HidBehaviour& behaviour) {
    std::lock_guard<std::mutex> guard(lock_);
    behaviour_ = behaviour;
}

HidBehaviour HidDevice::behaviour() {
    std::lock_guard<std::mutex> guard(lock_);
    return behaviour_;
}

void HidDevice::sendInputReport(std::vector<uint8_t> report) { deliver(report); }

void HidDevice::deliver(const std::vector<uint8_t>& report) {
    std::vector<std::shared_ptr<HidFile>> open;
    std::vector<uint8_t> sized;
    bool cancelIgnored;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!connected_) return;
        sized = report;
        sized.resize(behaviour_.inputReportLength, 0);
        if (behaviour_.reportIds.empty() && !sized.empty()) sized[0] = 0;
        cancelIgnored = behaviour_.cancelIgnored;
        for (auto it = files_.begin(); it != files_.end();) {
            if (auto file = it->lock()) {
                open.push_back(file);
                ++it;
            } else {
                it = files_.erase(it);
            }
        }
    }
    for (const auto& file : open) file->take(sized, cancelIgnored);
}

std::vector<std::vector<uint8_t>> HidDevice::outputReports() {
    std::lock_guard<std::mutex> guard(lock_);
    return std::vector<std::vector<uint8_t>>(outputs_.begin(), outputs_.end());
}

void HidDevice::unplug() {
    std::vector<std::shared_ptr<HidFile>> open;
    {
        std::lock_guard<std::mutex> guard(lock_);
        connected_ = false;
        for (const auto& weak : files_)
            if (auto file = weak.lock()) open.push_back(file);
    }
    for (const auto& file : open) file->failAll(platform::kErrorDeviceNotConnected);
}

bool HidDevice::connected() {
    std::lock_guard<std::mutex> guard(lock_);
    return connected_;
}

std::shared_ptr<FileEndpoint> HidDevice::openEndpoint() {
    auto file = std::make_shared<HidFile>(shared_from_this());
    std::lock_guard<std::mutex> guard(lock_);
    files_.push_back(file);
    return file;
}

size_t HidDevice::pendingReads() {
    std::vector<std::shared_ptr<HidFile>> open;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& weak : files_)
            if (auto file = weak.lock()) open.push_back(file);
    }
    size_t n = 0;
    for (const auto& file : open) n += file->waitingReads();
    return n;
}

}  // namespace sim
