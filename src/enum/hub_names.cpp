// Names of hubs: the root hub of a host controller and the external hub on
// a hub port, each asked for twice (the size, then the name).
#include "enum/hub_walk.h"
#include "enum/name_request.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

// A root hub answer of only its head is taken (its name comes out empty).
constexpr uint32_t kSmallestRootHubAnswer = sizeof(platform::UsbActualLengthName);

}  // namespace

char* getRootHubName(platform::Handle hostController) {
    tracepoint::tag("GetRHN00");
    const NameRequest request = {platform::kIoctlUsbGetRootHubName, NameHead::WholeAnswerLength, 0, false,
                                 kSmallestRootHubAnswer};
    const NameRequestTrace trace = {"GetRHN01!",  true, "GetRHN01a!", true,         nullptr,
                                    "GetRHN01b!", true, "GetRHN02",   "rootHubName"};
    return requestDriverName(hostController, request, trace);
}

char* getExternalHubName(platform::Handle hub, uint32_t port) {
    tracepoint::tag("getExtHubN 00");
    const NameRequest request = {platform::kIoctlUsbGetNodeConnectionName, NameHead::ConnectionName, port, true, 0};
    const NameRequestTrace trace = {"getExtHubN 01!", true, "getExtHubN 02!", true,        "getExtHubN 03!",
                                    "getExtHubN 04!", true, "getExtHubN 06",  "extHubName"};
    return requestDriverName(hub, request, trace);
}
