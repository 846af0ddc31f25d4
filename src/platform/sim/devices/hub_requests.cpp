// The simulated hub driver: node information, what is connected to each
// port, the names on a port, and descriptors fetched from the device on a
// port.
#include <cstddef>

#include "platform/sim/devices/driver_answers.h"
#include "platform/sim/devices/name_answer.h"

namespace sim {
namespace {

constexpr uint32_t kConnectionFixedSize = offsetof(platform::UsbNodeConnectionInformationEx, PipeList);
constexpr uint32_t kPipeInfoSize = sizeof(platform::UsbPipeInfo);
constexpr uint32_t kHeaderSize = platform::kDescriptorRequestHeaderSize;
constexpr uint32_t kErrorStall = platform::kErrorGenFailure;  // what a device's STALL becomes

// Ports answer from 1 to the larger of the ports modelled and the count
// the hub reports; a reported port that is not modelled is empty.
uint32_t portRange(const Hub& hub) {
    uint32_t n = static_cast<uint32_t>(hub.ports.size());
    if (hub.reportedPortCount && *hub.reportedPortCount > n) n = *hub.reportedPortCount;
    return n;
}

const Port* portOf(const Hub& hub, uint32_t number) {
    static const Port empty;
    if (number == 0 || number > portRange(hub)) return nullptr;
    return number <= hub.ports.size() ? &hub.ports[number - 1] : &empty;
}

uint32_t statusOf(const Port& port) {
    if (port.connectionStatus) return *port.connectionStatus;
    return port.device ? platform::kDeviceConnected : platform::kNoDeviceConnected;
}

// The endpoints of alternate setting 0 of the current configuration, as
// the hub lists them for the open pipes. The bytes are the model's and are
// read with every length checked.
std::vector<platform::UsbEndpointDescriptor> openPipes(const Device& d) {
    std::vector<platform::UsbEndpointDescriptor> pipes;
    if (d.currentConfiguration == 0 || d.configurations.empty()) return pipes;
    const std::vector<uint8_t>& bytes = d.configurations[0].bytes;
    size_t position = 0;
    bool alternateZero = true;
    while (position + 2 <= bytes.size()) {
        uint8_t length = bytes[position];
        uint8_t type = bytes[position + 1];
        if (length < 2 || position + length > bytes.size()) break;
        if (type == 4 && length >= 4) alternateZero = bytes[position + 3] == 0;
        if (type == 5 && length >= 7 && alternateZero) {
            platform::UsbEndpointDescriptor e{};
            std::memcpy(&e, &bytes[position], sizeof e);
            e.bLength = 7;
            pipes.push_back(e);
        }
        position += length;
    }
    return pipes;
}

uint32_t answerNodeInformation(const Hub& hub, BufferedRequest& request) {
    if (hub.nodeInfoError != 0) return hub.nodeInfoError;
    if (request.outSize < sizeof(platform::UsbNodeInformation)) return platform::kErrorInsufficientBuffer;
    uint32_t ports = hub.reportedPortCount ? *hub.reportedPortCount : static_cast<uint32_t>(hub.ports.size());
    if (ports > 255) ports = 255;
    platform::UsbNodeInformation info{};
    info.NodeType = 0;  // UsbHub
    platform::UsbHubDescriptor& h = info.HubDescriptor;
    h.bDescriptorLength = hub.superSpeed ? 12 : static_cast<uint8_t>(7 + 2 * (ports / 8 + 1));
    h.bDescriptorType = hub.superSpeed ? 0x2A : 0x29;
    h.bNumberOfPorts = static_cast<uint8_t>(ports);
    h.wHubCharacteristics = 0x0009;  // per-port power switching and over-current protection
    h.bPowerOnToPowerGood = 50;
    h.bHubControlCurrent = 100;
    info.HubIsBusPowered = hub.busPowered ? 1 : 0;
    request.write(0, info);
    request.bytesReturned = sizeof(platform::UsbNodeInformation);
    return 0;
}

uint32_t answerConnectionInformation(const Hub& hub, const MachineIndex& index, bool extended,
                                     BufferedRequest& request) {
    if (request.inSize < 4 || request.outSize < kConnectionFixedSize) return platform::kErrorInsufficientBuffer;
    uint32_t number = request.input<uint32_t>();
    const Port* port = portOf(hub, number);
    if (port == nullptr) return platform::kErrorInvalidParameter;
    uint32_t error = extended ? port->connectionInfoExError : port->connectionInfoError;
    if (error != 0) return error;

    platform::UsbNodeConnectionInformationEx info{};
    info.ConnectionIndex = number;
    info.ConnectionStatus = statusOf(*port);
    std::vector<platform::UsbEndpointDescriptor> pipes;
    if (port->device) {
        const Device& d = *port->device;
        info.DeviceDescriptor = d.descriptor;
        info.Speed = extended ? static_cast<uint8_t>(d.speed) : (d.speed == Speed::Low ? 1 : 0);
        info.DeviceIsHub = d.isHub ? 1 : 0;
        auto address = index.addresses.find(&d);
        info.DeviceAddress = address == index.addresses.end() ? 0 : address->second;
        if (info.ConnectionStatus == platform::kDeviceConnected) {
            info.CurrentConfigurationValue = d.currentConfiguration;
            pipes = openPipes(d);
        }
    }
    info.NumberOfOpenPipes = static_cast<uint32_t>(pipes.size());
    uint32_t room = (request.outSize - kConnectionFixedSize) / kPipeInfoSize;
    uint32_t written = 0;
    for (; written < pipes.size() && written < room && written < platform::kConnectionInfoPipes; ++written) {
        info.PipeList[written].EndpointDescriptor = pipes[written];
        info.PipeList[written].ScheduleOffset = 0;
    }
    request.write(0, &info, kConnectionFixedSize + written * kPipeInfoSize);
    request.bytesReturned = kConnectionFixedSize + written * kPipeInfoSize;
    return 0;
}

uint32_t answerConnectionName(const Hub& hub, bool driverKey, BufferedRequest& request) {
    if (request.inSize < 4) return platform::kErrorInsufficientBuffer;
    const Port* port = portOf(hub, request.input<uint32_t>());
    if (port == nullptr) return platform::kErrorInvalidParameter;
    if (driverKey) {
        uint32_t failWith = port->driverKeyAnswer.failWith;
        if (failWith != 0 && failWith != kErrorMoreData) return failWith;
        if (!port->device) return platform::kErrorDeviceNotConnected;
        if (port->device->driverKey.empty()) return platform::kErrorInvalidParameter;
        return answerName(request, 8, port->device->driverKey, port->driverKeyAnswer);
    }
    // The name of the hub on the port; an empty name for any other device.
    std::string name = port->device && port->device->isHub ? port->device->hub.name : std::string();
    if (port->nodeNameAnswer.failWith == 0 && !port->device) return platform::kErrorDeviceNotConnected;
    return answerName(request, 8, name, port->nodeNameAnswer);
}

// The descriptor the device answers a GET_DESCRIPTOR with, or null (stall).
DescriptorAnswer* descriptorFor(Device& d, uint8_t type, uint8_t index, uint16_t language) {
    auto other = d.otherDescriptors.find(static_cast<uint16_t>(type << 8 | index));
    switch (type) {
        case 2:
            if (index < d.configurations.size()) return &d.configurations[index];
            break;
        case 3:
            if (index == 0) return d.languages ? &*d.languages : nullptr;
            if (auto byIndex = d.strings.find(index); byIndex != d.strings.end()) {
                auto byLanguage = byIndex->second.find(language);
                if (byLanguage != byIndex->second.end()) return &byLanguage->second;
            }
            return nullptr;
        case 15:
            if (d.bos) return &*d.bos;
            break;
        default:
            break;
    }
    return other == d.otherDescriptors.end() ? nullptr : &other->second;
}

uint32_t answerDescriptor(Hub& hub, BufferedRequest& request) {
    if (request.inSize < kHeaderSize || request.outSize < kHeaderSize) return platform::kErrorInsufficientBuffer;
    uint32_t number = request.input<uint32_t>();
    const Port* constPort = portOf(hub, number);
    if (constPort == nullptr) return platform::kErrorInvalidParameter;
    if (!constPort->device || statusOf(*constPort) != platform::kDeviceConnected)
        return platform::kErrorDeviceNotConnected;
    Device& d = *hub.ports[number - 1].device;

    auto header = request.input<platform::UsbDescriptorRequest>();
    uint8_t type = static_cast<uint8_t>(header.SetupPacket.wValue >> 8);
    uint8_t index = static_cast<uint8_t>(header.SetupPacket.wValue & 0xFF);

    std::vector<uint8_t> deviceDescriptor;
    const std::vector<uint8_t>* bytes = nullptr;
    DescriptorAnswer* answer = descriptorFor(d, type, index, header.SetupPacket.wIndex);
    if (answer != nullptr) {
        if (answer->failWith != 0 && answer->failWith != kErrorMoreData) return answer->failWith;
        bytes = answer->reads > 0 && answer->bytesAfterFirstRead ? &*answer->bytesAfterFirstRead : &answer->bytes;
        ++answer->reads;
    } else if (type == 1 && index == 0) {
        const auto* raw = reinterpret_cast<const uint8_t*>(&d.descriptor);
        deviceDescriptor.assign(raw, raw + sizeof d.descriptor);
        bytes = &deviceDescriptor;
    } else {
        return kErrorStall;
    }

    // The device sends at most wLength bytes, and the hub driver passes on
    // at most what the buffer behind the header holds.
    size_t count = bytes->size();
    if (count > header.SetupPacket.wLength) count = header.SetupPacket.wLength;
    if (count > request.outSize - kHeaderSize) count = request.outSize - kHeaderSize;
    request.write(kHeaderSize, bytes->data(), count);
    uint32_t actual = kHeaderSize + static_cast<uint32_t>(count);
    request.bytesReturned = answer != nullptr && answer->bytesReturned ? *answer->bytesReturned : actual;
    return answer != nullptr ? answer->failWith : 0;  // 0, or the warning ERROR_MORE_DATA
}

}  // namespace

uint32_t answerHubRequest(Hub& hub, const MachineIndex& index, uint32_t code, BufferedRequest& request) {
    switch (code) {
        case platform::kIoctlUsbGetNodeInformation:
            return answerNodeInformation(hub, request);
        case platform::kIoctlUsbGetNodeConnectionInformationEx:
            return answerConnectionInformation(hub, index, true, request);
        case platform::kIoctlUsbGetNodeConnectionInformation:
            return answerConnectionInformation(hub, index, false, request);
        case platform::kIoctlUsbGetNodeConnectionName:
            return answerConnectionName(hub, false, request);
        case platform::kIoctlUsbGetNodeConnectionDriverkeyName:
            return answerConnectionName(hub, true, request);
        case platform::kIoctlUsbGetDescriptorFromNodeConnection:
            return answerDescriptor(hub, request);
        default:
            return kErrorInvalidFunction;
    }
}

}  // namespace sim
