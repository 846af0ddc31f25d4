// The simulated host-controller driver: its driver key, its root hub's
// name, and the USER requests for the power map and controller information.
#include <cstddef>
#include <cstdio>

#include "platform/sim/devices/driver_answers.h"
#include "platform/sim/devices/name_answer.h"

namespace sim {
namespace {

// USBUSER status codes in the request header.
constexpr uint32_t kUserSuccess = 0;
constexpr uint32_t kUserInvalidRequestCode = 2;
constexpr uint32_t kUserInvalidHeaderParameter = 4;
constexpr uint32_t kUserInvalidParameter = 5;
constexpr uint32_t kUserBufferTooSmall = 7;

constexpr uint32_t kHeaderSize = sizeof(platform::UsbUserRequestHeader);

// Finishes a USER request whose header carries the outcome.
uint32_t finishHeader(BufferedRequest& request, platform::UsbUserRequestHeader header, uint32_t status,
                      uint32_t actual, uint32_t bytes) {
    header.UsbUserStatusCode = status;
    header.ActualBufferLength = actual;
    request.write(0, header);
    request.bytesReturned = bytes;
    return 0;
}

uint32_t answerUserRequest(HostController& c, BufferedRequest& request) {
    if (request.inSize < kHeaderSize || request.outSize < kHeaderSize) return platform::kErrorInsufficientBuffer;
    auto header = request.input<platform::UsbUserRequestHeader>();
    uint32_t room = request.inSize < request.outSize ? request.inSize : request.outSize;
    if (header.RequestBufferLength > room || header.RequestBufferLength < kHeaderSize)
        return finishHeader(request, header, kUserInvalidHeaderParameter, 0, kHeaderSize);

    switch (header.UsbUserRequest) {
        case platform::kUsbUserGetPowerStateMap: {
            const uint32_t size = sizeof(platform::UsbUserPowerInfoRequest);
            if (header.RequestBufferLength < size)
                return finishHeader(request, header, kUserBufferTooSmall, size, kHeaderSize);
            auto asked = request.input<platform::UsbUserPowerInfoRequest>();
            uint32_t state = asked.PowerInformation.SystemState;
            if (state < platform::kWdmUsbPowerSystemWorking || state > platform::kWdmUsbPowerSystemShutdown)
                return finishHeader(request, header, kUserInvalidParameter, 0, kHeaderSize);
            const PowerAnswer& answer = c.powerMap[state - platform::kWdmUsbPowerSystemWorking];
            if (answer.failWith != 0) return answer.failWith;
            platform::UsbPowerInfo info = answer.info;
            info.SystemState = state;
            request.write(offsetof(platform::UsbUserPowerInfoRequest, PowerInformation), info);
            return finishHeader(request, header, kUserSuccess, size, size);
        }
        case platform::kUsbUserGetControllerInfo0: {
            const uint32_t size = sizeof(platform::UsbUserControllerInfo0);
            if (header.RequestBufferLength < size)
                return finishHeader(request, header, kUserBufferTooSmall, size, kHeaderSize);
            if (c.controllerInfo.failWith != 0) return c.controllerInfo.failWith;
            platform::UsbControllerInfo0 info = c.controllerInfo.info;
            if (info.NumberOfRootPorts == 0) info.NumberOfRootPorts = static_cast<uint32_t>(c.rootHub.ports.size());
            request.write(offsetof(platform::UsbUserControllerInfo0, Info0), info);
            return finishHeader(request, header, kUserSuccess, size, size);
        }
        default:
            return finishHeader(request, header, kUserInvalidRequestCode, 0, kHeaderSize);
    }
}

}  // namespace

uint32_t answerControllerRequest(HostController& c, uint32_t code, BufferedRequest& request) {
    switch (code) {
        case platform::kIoctlUsbUserRequest:
            return answerUserRequest(c, request);
        case platform::kIoctlGetHcdDriverkeyName:
            if (c.driverKey.empty() && c.driverKeyAnswer.failWith == 0) return platform::kErrorInvalidParameter;
            return answerName(request, 4, c.driverKey, c.driverKeyAnswer);
        case platform::kIoctlUsbGetRootHubName:
            // A root hub without a name still answers: success with an empty
            // name (Microsoft Learn, IOCTL_USB_GET_ROOT_HUB_NAME and
            // USB_ROOT_HUB_NAME; the caller sees a name of length 0).
            return answerName(request, 4, c.rootHub.name, c.rootHubNameAnswer);
        default:
            return kErrorInvalidFunction;
    }
}

std::string requestName(uint32_t code, TargetKind kind) {
    switch (code) {
        case platform::kIoctlUsbUserRequest: return "USB_USER_REQUEST";
        case platform::kIoctlGetHcdDriverkeyName: return "GET_HCD_DRIVERKEY_NAME";
        case platform::kIoctlUsbGetRootHubName:  // the same code as GET_NODE_INFORMATION
            return kind == TargetKind::Hub ? "GET_NODE_INFORMATION" : "GET_ROOT_HUB_NAME";
        case platform::kIoctlUsbGetNodeConnectionInformationEx: return "GET_NODE_CONNECTION_INFORMATION_EX";
        case platform::kIoctlUsbGetNodeConnectionInformation: return "GET_NODE_CONNECTION_INFORMATION";
        case platform::kIoctlUsbGetNodeConnectionName: return "GET_NODE_CONNECTION_NAME";
        case platform::kIoctlUsbGetNodeConnectionDriverkeyName: return "GET_NODE_CONNECTION_DRIVERKEY_NAME";
        case platform::kIoctlUsbGetDescriptorFromNodeConnection: return "GET_DESCRIPTOR_FROM_NODE_CONNECTION";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "IOCTL 0x%06X", code);
            return text;
        }
    }
}

}  // namespace sim
