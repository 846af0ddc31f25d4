#include "enum/driver_keys.h"

#include "enum/name_request.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

// A driver key name answer must hold at least one byte of name behind its
// six-byte head.
constexpr uint32_t kSmallestDriverKeyAnswer = sizeof(platform::UsbActualLengthName) + 1;

}  // namespace

char* getHostControllerDriverKey(platform::Handle hostController) {
    tracepoint::tag("GHDCdkn00");
    const NameRequest request = {platform::kIoctlGetHcdDriverkeyName, NameHead::WholeAnswerLength, 0, true,
                                 kSmallestDriverKeyAnswer};
    const NameRequestTrace trace = {"GHDCdkn03!", false, "GHDCdkn05!", true,        "GHDCdkn07!",
                                    "GHDCdkn09!", false, "GHDCdkn14",  "driverKeyNameA"};
    return requestDriverName(hostController, request, trace);
}

char* getPortDriverKey(platform::Handle hub, uint32_t port) {
    tracepoint::tag("Gdkn01");
    tracepoint::code(port);
    if (hub == nullptr) tracepoint::tag("Hub==null");
    const NameRequest request = {platform::kIoctlUsbGetNodeConnectionDriverkeyName, NameHead::ConnectionName, port,
                                 true, 0};
    const NameRequestTrace trace = {"Gdkn02!", true,  "Gdkn04!", false,           "Gdkn06!",
                                    "Gdkn09!", false, "Gdkn14",  "driverKeyNameA"};
    return requestDriverName(hub, request, trace);
}
