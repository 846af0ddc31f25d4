// Names of hubs: the root hub of a host controller and the external hub on
// a hub port, each asked for twice (the size, then the name).
#include <cstddef>
#include <cstring>

#include "enum/driver_keys.h"
#include "enum/hub_walk.h"
#include "trace/trace_points.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"

namespace {

constexpr uint32_t kRootNameHead = sizeof(platform::UsbActualLengthName);  // 6
constexpr uint32_t kNodeNameHead = sizeof(platform::UsbConnectionName);    // 10

bool ask(platform::Handle device, uint32_t code, void* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    return platform::DeviceIoControl(device, code, buffer, size, buffer, size, returned, nullptr);
}

}  // namespace

char* getRootHubName(platform::Handle hostController) {
    tracepoint::tag("GetRHN00");
    uint8_t head[kRootNameHead] = {};
    uint32_t returned = 0;
    if (!platform::DeviceIoControl(hostController, platform::kIoctlUsbGetRootHubName, nullptr, 0, head,
                                   sizeof head, &returned, nullptr)) {
        tracepoint::tag("GetRHN01!");
        tracepoint::code(platform::GetLastError());
        return nullptr;
    }
    uint32_t actualLength;  // bytes of the whole answer, name and terminator included
    std::memcpy(&actualLength, head, sizeof actualLength);
    // An answer too short for its own head, or larger than any counted
    // system string, cannot be a name.
    if (actualLength < kRootNameHead || actualLength > kLargestNameAnswer) {
        tracepoint::tag("GetRHN01a!");
        tracepoint::code(actualLength);
        return nullptr;
    }
    // Two zero bytes behind the answer end its text even when the driver
    // filled the buffer to the last byte.
    uint32_t allocated = actualLength + 2;
    auto* answer = static_cast<uint8_t*>(platform::HeapAllocZero(allocated));
    if (answer == nullptr) return nullptr;
    if (!platform::DeviceIoControl(hostController, platform::kIoctlUsbGetRootHubName, nullptr, 0, answer,
                                   actualLength, &returned, nullptr)) {
        tracepoint::tag("GetRHN01b!");
        tracepoint::code(platform::GetLastError());
        platform::HeapFreeBlock(answer);
        return nullptr;
    }
    char* name = returned != 0 ? narrowNameAnswer(answer, allocated, offsetof(platform::UsbActualLengthName, Name))
                               : nullptr;
    platform::HeapFreeBlock(answer);
    tracepoint::tag("GetRHN02");
    tracepoint::text(name, "rootHubName");
    return name;
}

char* getExternalHubName(platform::Handle hub, uint32_t port) {
    tracepoint::tag("getExtHubN 00");
    uint8_t head[kNodeNameHead] = {};
    std::memcpy(head, &port, sizeof port);  // ConnectionIndex
    uint32_t returned = 0;
    if (!ask(hub, platform::kIoctlUsbGetNodeConnectionName, head, sizeof head, &returned)) {
        tracepoint::tag("getExtHubN 01!");
        tracepoint::code(platform::GetLastError());
        return nullptr;
    }
    uint32_t actualLength;
    std::memcpy(&actualLength, head + offsetof(platform::UsbConnectionName, ActualLength), sizeof actualLength);
    uint32_t size = actualLength + kNodeNameHead;  // 32-bit, as the drivers count
    if (size <= kNodeNameHead || actualLength > kLargestNameAnswer) {
        tracepoint::tag("getExtHubN 02!");
        tracepoint::code(actualLength);
        return nullptr;
    }
    auto* answer = static_cast<uint8_t*>(platform::HeapAllocZero(size));
    if (answer == nullptr) {
        tracepoint::tag("getExtHubN 03!");
        return nullptr;
    }
    std::memcpy(answer, &port, sizeof port);
    if (!ask(hub, platform::kIoctlUsbGetNodeConnectionName, answer, size, &returned)) {
        tracepoint::tag("getExtHubN 04!");
        tracepoint::code(platform::GetLastError());
        platform::HeapFreeBlock(answer);
        return nullptr;
    }
    // The request is ActualLength + 10 bytes, so the last code unit lies
    // behind the whole answer and ends its text.
    char* name =
        returned != 0 ? narrowNameAnswer(answer, size, offsetof(platform::UsbConnectionName, Name)) : nullptr;
    platform::HeapFreeBlock(answer);
    tracepoint::tag("getExtHubN 06");
    tracepoint::text(name, "extHubName");
    return name;
}
