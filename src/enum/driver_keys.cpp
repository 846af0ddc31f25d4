#include "enum/driver_keys.h"

#include <cstring>

#include "enum/narrow_text.h"
#include "trace/trace_points.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"

namespace {

constexpr uint32_t kControllerNameHead = sizeof(platform::UsbActualLengthName);  // 6
constexpr uint32_t kPortNameHead = sizeof(platform::UsbConnectionName);          // 10

bool ask(platform::Handle device, uint32_t code, void* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    return platform::DeviceIoControl(device, code, buffer, size, buffer, size, returned, nullptr);
}

}  // namespace

char* narrowNameAnswer(uint8_t* answer, uint32_t size, uint32_t textOffset) {
    if (size < textOffset + 2) return nullptr;
    uint32_t units = (size - textOffset) / 2;
    uint8_t* lastUnit = answer + textOffset + 2 * (units - 1);
    lastUnit[0] = 0;
    lastUnit[1] = 0;
    return wcstcs(reinterpret_cast<const char16_t*>(answer + textOffset), 1);
}

char* getHostControllerDriverKey(platform::Handle hostController) {
    tracepoint::tag("GHDCdkn00");
    uint8_t head[kControllerNameHead] = {};
    uint32_t returned = 0;
    if (!ask(hostController, platform::kIoctlGetHcdDriverkeyName, head, sizeof head, &returned)) {
        tracepoint::tag("GHDCdkn03!");
        return nullptr;
    }
    uint32_t needed;
    std::memcpy(&needed, head, sizeof needed);  // ActualLength: bytes of the whole answer
    if (needed <= kControllerNameHead || needed > kLargestNameAnswer) {
        tracepoint::tag("GHDCdkn05!");
        tracepoint::code(needed);
        return nullptr;
    }
    // Two zero bytes behind the answer terminate its text.
    uint32_t allocated = needed + 2;
    auto* answer = static_cast<uint8_t*>(platform::HeapAllocZero(allocated));
    if (answer == nullptr) {
        tracepoint::tag("GHDCdkn07!");
        return nullptr;
    }
    if (!ask(hostController, platform::kIoctlGetHcdDriverkeyName, answer, needed, &returned)) {
        tracepoint::tag("GHDCdkn09!");
        platform::HeapFreeBlock(answer);
        return nullptr;
    }
    char* name = returned != 0 ? narrowNameAnswer(answer, allocated, offsetof(platform::UsbActualLengthName, Name))
                               : nullptr;
    platform::HeapFreeBlock(answer);
    tracepoint::tag("GHDCdkn14");
    tracepoint::text(name, "driverKeyNameA");
    return name;
}

char* getPortDriverKey(platform::Handle hub, uint32_t port) {
    tracepoint::tag("Gdkn01");
    tracepoint::code(port);
    if (hub == nullptr) tracepoint::tag("Hub==null");
    uint8_t head[kPortNameHead] = {};
    std::memcpy(head, &port, sizeof port);  // ConnectionIndex
    uint32_t returned = 0;
    if (!ask(hub, platform::kIoctlUsbGetNodeConnectionDriverkeyName, head, sizeof head, &returned)) {
        tracepoint::tag("Gdkn02!");
        tracepoint::code(platform::GetLastError());
        return nullptr;
    }
    uint32_t actualLength;
    std::memcpy(&actualLength, head + offsetof(platform::UsbConnectionName, ActualLength), sizeof actualLength);
    uint32_t size = actualLength + kPortNameHead;  // 32-bit, as the drivers count
    if (size <= kPortNameHead || actualLength > kLargestNameAnswer) {
        tracepoint::tag("Gdkn04!");
        return nullptr;
    }
    auto* answer = static_cast<uint8_t*>(platform::HeapAllocZero(size));
    if (answer == nullptr) {
        tracepoint::tag("Gdkn06!");
        return nullptr;
    }
    std::memcpy(answer, &port, sizeof port);
    if (!ask(hub, platform::kIoctlUsbGetNodeConnectionDriverkeyName, answer, size, &returned)) {
        tracepoint::tag("Gdkn09!");
        platform::HeapFreeBlock(answer);
        return nullptr;
    }
    char* name =
        returned != 0 ? narrowNameAnswer(answer, size, offsetof(platform::UsbConnectionName, Name)) : nullptr;
    platform::HeapFreeBlock(answer);
    tracepoint::tag("Gdkn14");
    tracepoint::text(name, "driverKeyNameA");
    return name;
}
