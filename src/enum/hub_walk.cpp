// Opening one hub by name and walking its ports.
#include "enum/hub_walk.h"

#include "enum/bounded_text.h"
#include "enum/walked_hubs.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";  // "\\.\"
constexpr size_t kPrefixMaximum = 200;

// USB allows five external hubs below a root hub. The walk goes deeper than
// any real tree can, but not without end.
constexpr int kMostNestedHubs = 16;
int hubsBeingWalked = 0;

// "\\.\" + the hub name in a new process-heap text, or null.
char* hubPath(const char* hubName, size_t length) {
    size_t prefixLength = 0;
    if (boundedLength(kDevicePrefix, kPrefixMaximum, &prefixLength) < 0) return nullptr;
    size_t size = length + prefixLength + 1;
    auto* path = static_cast<char*>(platform::HeapAllocZero(size));
    if (path == nullptr) return nullptr;
    if (boundedCopy(path, size, kDevicePrefix, prefixLength) < 0 || boundedAppend(path, size, hubName, length) < 0) {
        platform::HeapFreeBlock(path);
        return nullptr;
    }
    return path;
}

// Opens the hub (the path is released right after), asks for its node
// information and walks its ports.
void walkHub(char* path) {
    tracepoint::tag("Eh05");
    tracepoint::text(path, "hubPath");
    platform::Handle hub = platform::CreateFileA(path, platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                                                 platform::kOpenExisting, 0, nullptr);
    uint32_t openError = platform::GetLastError();
    platform::HeapFreeBlock(path);
    if (!platform::isValidHandle(hub)) {
        tracepoint::tag("Eh07!");
        tracepoint::code(openError);
        return;
    }
    auto* node =
        static_cast<platform::UsbNodeInformation*>(platform::HeapAllocZero(sizeof(platform::UsbNodeInformation)));
    if (node == nullptr) {
        tracepoint::tag("Eh10!");
        platform::CloseHandle(hub);
        return;
    }
    uint32_t returned = 0;
    if (!platform::DeviceIoControl(hub, platform::kIoctlUsbGetNodeInformation, node, sizeof *node, node,
                                   sizeof *node, &returned, nullptr)) {
        uint32_t error = platform::GetLastError();  // before the trace file's append sets another
        tracepoint::tag("Eh13!");
        tracepoint::code(error);
    } else {
        tracepoint::tag("Eh15");
        tracepoint::number(node->HubDescriptor.bNumberOfPorts);
        enumerateHubPorts(hub, node->HubDescriptor.bNumberOfPorts);
        tracepoint::tag("Eh30");
    }
    platform::CloseHandle(hub);
    platform::HeapFreeBlock(node);
}

}  // namespace

void enumerateHub(char* hubName, size_t length) {
    tracepoint::tag("Eh01");
    if (hubName == nullptr || hubsBeingWalked >= kMostNestedHubs || hubAlreadyWalked(hubName) ||
        !rememberWalkedHub(hubName, length)) {
        tracepoint::tag("Eh02!");
        platform::HeapFreeBlock(hubName);
        return;
    }
    char* path = hubPath(hubName, length);
    if (path == nullptr) {
        tracepoint::tag("Eh03!");
    } else {
        ++hubsBeingWalked;
        walkHub(path);
        --hubsBeingWalked;
    }
    platform::HeapFreeBlock(hubName);
    tracepoint::tag("Eh32");
}

void walkNamedHub(char* hubName, const NamedHubTrace& trace) {
    if (hubName == nullptr) {
        tracepoint::tag(trace.noName);
        return;
    }
    size_t length = 0;
    if (boundedLength(hubName, kHubNameMaximum, &length) < 0) {
        tracepoint::tag(trace.nameTooLong);
        platform::HeapFreeBlock(hubName);
        return;
    }
    enumerateHub(hubName, length);
    tracepoint::tag(trace.walked);
}
