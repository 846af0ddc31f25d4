#include "platform/sim/devices/winusb_device.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// What a transfer begun on an unplugged device ends with.
constexpr uint32_t kUnpluggedAtStartError = kErrorBadCommand;
// What a transfer in flight when its device is pulled out ends with on
// Windows 10 (ERROR_NO_SUCH_DEVICE; Windows 7 gave ERROR_DEVICE_NOT_CONNECTED),
// as libusb/libusb issue 721 and pull request 664 record.
constexpr uint32_t kPulledOutError = platform::kErrorNoSuchDevice;
constexpr size_t kLoopbackCapacity = 64 * 1024;  // what the device buffers before it refuses more
constexpr uint32_t kDefaultControlTimeoutMs = 5000;

constexpr uint8_t kRequestGetDescriptor = 6;
constexpr uint8_t kRequestTypeStandard = 0;
constexpr uint8_t kRequestTypeVendor = 2;

bool isIn(uint8_t pipe) { return (pipe & 0x80) != 0; }

}  // namespace

WinUsbDevice::WinUsbDevice(const Device& model) {
    pipes_[0].timeoutMs = kDefaultControlTimeoutMs;
    applyModelLocked(model);
}

void WinUsbDevice::update(const Device& model) {
    std::lock_guard<std::mutex> guard(lock_);
    applyModelLocked(model);
    changed_.notify_all();
}

void WinUsbDevice::applyModelLocked(const Device& model) {
    model_ = model;
    for (auto& entry : pipes_) entry.second.listed = false;
    for (const PipeBehaviour& p : model_.winUsb.pipes) {
        if (p.pipe == 0) continue;
        Pipe& pipe = pipes_[p.pipe];
        pipe.behaviour = p;
        pipe.listed = true;
        if (p.kind == PipeKind::Loopback && !isIn(p.pipe)) {
            uint8_t target = p.pairedPipe != 0 ? p.pairedPipe : static_cast<uint8_t>(p.pipe | 0x80);
            pipes_[target];  // the IN pipe where the data comes back
        }
    }
}

void WinUsbDevice::unplug() {
    std::lock_guard<std::mutex> guard(lock_);
    connected_ = false;
    changed_.notify_all();
}

bool WinUsbDevice::connected() {
    std::lock_guard<std::mutex> guard(lock_);
    return connected_;
}

std::vector<uint8_t> WinUsbDevice::lastWritten(uint8_t pipe) {
    std::lock_guard<std::mutex> guard(lock_);
    Pipe* p = pipeLocked(pipe);
    return p == nullptr ? std::vector<uint8_t>() : p->lastWritten;
}

bool WinUsbDevice::waitForBlockedTransfers(size_t n, uint32_t milliseconds) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(milliseconds), [&] { return blocked_ >= n; });
}

WinUsbDevice::Pipe* WinUsbDevice::pipeLocked(uint8_t id) {
    auto it = pipes_.find(id);
    return it == pipes_.end() ? nullptr : &it->second;
}

uint32_t WinUsbDevice::waitLocked(std::unique_lock<std::mutex>& guard, Pipe& pipe, uint64_t abortsAtStart,
                                  Clock::time_point readyAt, const std::function<bool()>& ready) {
    bool limited = pipe.timeoutMs != 0;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(pipe.timeoutMs);
    ++blocked_;
    changed_.notify_all();
    uint32_t result;
    for (;;) {
        if (!connected_) {
            result = kPulledOutError;
            break;
        }
        if (pipe.aborts != abortsAtStart) {
            result = platform::kErrorOperationAborted;
            break;
        }
        Clock::time_point now = Clock::now();
        if (now >= readyAt && ready()) {
            result = platform::kErrorSuccess;
            break;
        }
        if (limited && now >= deadline) {
            result = platform::kErrorSemTimeout;
            break;
        }
        // Wake for whichever comes first: the device being ready, or the
        // transfer's time-out.
        Clock::time_point wake = Clock::time_point::max();
        if (now < readyAt) wake = readyAt;
        if (limited) wake = std::min(wake, deadline);
        if (wake == Clock::time_point::max())
            changed_.wait(guard);
        else
            changed_.wait_until(guard, wake);
    }
    --blocked_;
    changed_.notify_all();
    return result;
}

uint32_t WinUsbDevice::readPipe(uint8_t id, uint8_t* buffer, uint32_t length, uint32_t* transferred) {
    std::unique_lock<std::mutex> guard(lock_);
    Pipe* pipe = pipeLocked(id);
    if (pipe == nullptr || id == 0 || !isIn(id) || (buffer == nullptr && length > 0))
        return platform::kErrorInvalidParameter;
    if (!connected_) return kUnpluggedAtStartError;
    Clock::time_point readyAt = Clock::now() + std::chrono::milliseconds(pipe->behaviour.delayMs);
    uint64_t aborts = pipe->aborts;
    if (!pipe->listed) {
        // The IN side of a loopback: one written transfer's data at a time;
        // what does not fit stays for the next read.
        uint32_t error = waitLocked(guard, *pipe, aborts, Clock::now(), [pipe] { return !pipe->queued.empty(); });
        if (error != 0) return error;
        std::vector<uint8_t>& front = pipe->queued.front();
        uint32_t count = static_cast<uint32_t>(std::min<size_t>(length, front.size()));
        if (count > 0) std::memcpy(buffer, front.data(), count);
        front.erase(front.begin(), front.begin() + count);
        pipe->queuedBytes -= count;
        if (front.empty()) pipe->queued.pop_front();
        *transferred = count;
        changed_.notify_all();
        return 0;
    }
    switch (pipe->behaviour.kind) {
        case PipeKind::Stall:
            return platform::kErrorGenFailure;
        case PipeKind::Source:
        case PipeKind::Slow: {
            uint32_t error = waitLocked(guard, *pipe, aborts, readyAt, [] { return true; });
            if (error != 0) return error;
            for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(i);
            *transferred = length;
            return 0;
        }
        case PipeKind::Loopback:
        case PipeKind::Sink:
        case PipeKind::Silent:
        default:
            // Nothing ever arrives on these: only a time-out or an abort ends the read.
            return waitLocked(guard, *pipe, aborts, readyAt, [] { return false; });
    }
}

uint32_t WinUsbDevice::writePipe(uint8_t id, const uint8_t* buffer, uint32_t length, uint32_t* transferred) {
    std::unique_lock<std::mutex> guard(lock_);
    Pipe* pipe = pipeLocked(id);
    if (pipe == nullptr || !pipe->listed || isIn(id) || (buffer == nullptr && length > 0))
        return platform::kErrorInvalidParameter;
    if (!connected_) return kUnpluggedAtStartError;
    Clock::time_point readyAt = Clock::now() + std::chrono::milliseconds(pipe->behaviour.delayMs);
    uint64_t aborts = pipe->aborts;
    std::vector<uint8_t> data(buffer, buffer + length);
    switch (pipe->behaviour.kind) {
        case PipeKind::Stall:
            return platform::kErrorGenFailure;
        case PipeKind::Silent:
            return waitLocked(guard, *pipe, aborts, readyAt, [] { return false; });
        case PipeKind::Loopback: {
            uint8_t target = pipe->behaviour.pairedPipe != 0 ? pipe->behaviour.pairedPipe
                                                             : static_cast<uint8_t>(id | 0x80);
            Pipe* in = pipeLocked(target);
            // The device buffers what it loops back; when it is full, the
            // write waits for the other side to read.
            uint32_t error = waitLocked(guard, *pipe, aborts, readyAt, [in, length] {
                return in->queuedBytes == 0 || in->queuedBytes + length <= kLoopbackCapacity;
            });
            if (error != 0) return error;
            in->queuedBytes += length;
            in->queued.push_back(data);
            pipe->lastWritten = std::move(data);
            *transferred = length;
            changed_.notify_all();
            return 0;
        }
        case PipeKind::Sink:
        case PipeKind::Source:
        case PipeKind::Slow:
        default: {
            uint32_t error = waitLocked(guard, *pipe, aborts, readyAt, [] { return true; });
            if (error != 0) return error;
            pipe->lastWritten = std::move(data);
            *transferred = length;
            return 0;
        }
    }
}

uint32_t WinUsbDevice::setPipePolicy(uint8_t id, uint32_t policy, uint32_t valueLength, const void* value) {
    std::lock_guard<std::mutex> guard(lock_);
    Pipe* pipe = pipeLocked(id);
    if (pipe == nullptr || value == nullptr) return platform::kErrorInvalidParameter;
    if (policy == platform::kPipeTransferTimeout) {
        if (valueLength != sizeof(uint32_t)) return platform::kErrorInvalidParameter;
        std::memcpy(&pipe->timeoutMs, value, sizeof(uint32_t));
        return 0;
    }
    // The other pipe policies (short packets, stalls, raw I/O...) take one
    // byte and change nothing here.
    if (policy < 1 || policy > 9 || valueLength != 1) return platform::kErrorInvalidParameter;
    return 0;
}

uint32_t WinUsbDevice::abortPipe(uint8_t id) {
    std::lock_guard<std::mutex> guard(lock_);
    Pipe* pipe = pipeLocked(id);
    if (pipe == nullptr) return platform::kErrorInvalidParameter;
    if (!connected_) return kUnpluggedAtStartError;
    ++pipe->aborts;
    changed_.notify_all();
    return 0;
}

bool WinUsbDevice::descriptorLocked(uint8_t type, uint8_t index, uint16_t language, std::vector<uint8_t>* bytes) {
    const DescriptorAnswer* answer = nullptr;
    platform::UsbDeviceDescriptor device = model_.descriptor;
    switch (type) {
        case 1:
            if (index != 0) return false;
            bytes->resize(sizeof device);
            std::memcpy(bytes->data(), &device, sizeof device);
            return true;
        case 2:
            if (index < model_.configurations.size()) answer = &model_.configurations[index];
            break;
        case 3:
            if (index == 0) {
                if (model_.languages) answer = &*model_.languages;
            } else {
                auto text = model_.strings.find(index);
                if (text != model_.strings.end()) {
                    auto inLanguage = text->second.find(language);
                    if (inLanguage != text->second.end()) answer = &inLanguage->second;
                }
            }
            break;
        case 0x0F:
            if (model_.bos) answer = &*model_.bos;
            break;
        default:
            break;
    }
    if (answer == nullptr) {
        auto other = model_.otherDescriptors.find(static_cast<uint16_t>(type << 8 | index));
        if (other != model_.otherDescriptors.end()) answer = &other->second;
    }
    if (answer == nullptr || answer->failWith != 0) return false;
    *bytes = answer->bytes;
    return true;
}

uint32_t WinUsbDevice::controlTransfer(const uint8_t setup[8], uint8_t* buffer, uint32_t length,
                                       uint32_t* transferred) {
    uint8_t requestType = setup[0];
    uint8_t request = setup[1];
    uint16_t value = static_cast<uint16_t>(setup[2] | (setup[3] << 8));
    uint16_t index = static_cast<uint16_t>(setup[4] | (setup[5] << 8));
    uint16_t wLength = static_cast<uint16_t>(setup[6] | (setup[7] << 8));
    // The data stage never runs past the caller's buffer, whatever the
    // setup packet says.
    uint32_t stage = std::min<uint32_t>(wLength, length);
    if (buffer == nullptr && stage > 0) return platform::kErrorInvalidParameter;

    std::lock_guard<std::mutex> guard(lock_);
    if (!connected_) return kUnpluggedAtStartError;
    bool toHost = (requestType & 0x80) != 0;
    uint8_t type = static_cast<uint8_t>((requestType >> 5) & 3);
    if (type == kRequestTypeStandard && request == kRequestGetDescriptor && toHost) {
        std::vector<uint8_t> bytes;
        if (!descriptorLocked(static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value & 0xFF), index, &bytes))
            return platform::kErrorGenFailure;
        uint32_t count = static_cast<uint32_t>(std::min<size_t>(stage, bytes.size()));
        if (count > 0) std::memcpy(buffer, bytes.data(), count);
        *transferred = count;
        return 0;
    }
    if (type == kRequestTypeVendor && model_.winUsb.vendorControlEcho) {
        // Vendor requests echo: what a host-to-device request sends, the
        // next device-to-host request gives back.
        if (toHost) {
            uint32_t count = static_cast<uint32_t>(std::min<size_t>(stage, vendorData_.size()));
            if (count > 0) std::memcpy(buffer, vendorData_.data(), count);
            *transferred = count;
        } else {
            vendorData_.assign(buffer, buffer + stage);
            *transferred = stage;
        }
        return 0;
    }
    return platform::kErrorGenFailure;  // the device stalls what it does not know
}

uint32_t WinUsbDevice::descriptor(uint8_t type, uint8_t index, uint16_t language, uint8_t* buffer,
                                  uint32_t length, uint32_t* transferred) {
    uint16_t wLength = static_cast<uint16_t>(std::min<uint32_t>(length, 0xFFFF));
    uint8_t setup[8] = {0x80,
                        kRequestGetDescriptor,
                        index,
                        type,
                        static_cast<uint8_t>(language & 0xFF),
                        static_cast<uint8_t>(language >> 8),
                        static_cast<uint8_t>(wLength & 0xFF),
                        static_cast<uint8_t>(wLength >> 8)};
    return controlTransfer(setup, buffer, length, transferred);
}

uint8_t WinUsbDevice::speed() {
    std::lock_guard<std::mutex> guard(lock_);
    // Two answers only: "0x03 indicates high-speed or higher; 0x01
    // indicates full-speed or lower" (Microsoft Learn,
    // WinUsb_QueryDeviceInformation), though winusbio.h also names 0x02.
    return model_.speed == Speed::Low || model_.speed == Speed::Full ? 1 : 3;
}

void WinUsbInterfaceFile::start(const std::shared_ptr<IoRequest>& request) {
    completeRequest(request, kErrorInvalidFunction);
}

}  // namespace sim
