#include "enum/descriptor_requests.h"

#include <cstring>

#include "platform/kernel.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

constexpr uint32_t kHeader = platform::kDescriptorRequestHeaderSize;
constexpr uint8_t kConfigurationType = 2;
constexpr uint8_t kBosType = 0x0F;
// Fixed parts asked for first: the configuration descriptor's 9 bytes, and
// 6 bytes of the BOS descriptor (its 5-byte header and one more).
constexpr uint16_t kConfigurationHead = 9;
constexpr uint16_t kBosHead = 6;

struct DescriptorKind {
    uint16_t value;      // descriptor type * 256 + index
    uint16_t head;       // bytes of the first request
    const char* tagAsk;  // first request
    const char* tagBad;  // first answer unusable
    const char* tagAll;  // second request
};

void fillHeader(DescriptorRequest* request, uint32_t port, uint16_t value, uint16_t length) {
    request->ConnectionIndex = port;
    request->SetupPacket.wValue = value;
    request->SetupPacket.wLength = length;
}

uint16_t totalLengthOf(const uint8_t* descriptor) {
    return static_cast<uint16_t>(descriptor[2] | descriptor[3] << 8);
}

// Two steps: the fixed part to learn wTotalLength, then exactly that many
// bytes. The descriptor must not grow or shrink between the two.
DescriptorRequest* readWholeDescriptor(platform::Handle hub, uint32_t port, const DescriptorKind& kind) {
    uint8_t first[kHeader + kConfigurationHead] = {};
    uint32_t firstSize = kHeader + kind.head;
    auto* head = reinterpret_cast<DescriptorRequest*>(first);
    fillHeader(head, port, kind.value, kind.head);
    tracepoint::tag(kind.tagAsk);
    tracepoint::code(firstSize);
    uint32_t returned = 0;
    if (!sendDescriptorRequest(hub, first, firstSize, &returned) || returned != firstSize ||
        totalLengthOf(first + kHeader) < kind.head) {
        tracepoint::tag(kind.tagBad);
        return nullptr;
    }
    uint16_t total = totalLengthOf(first + kHeader);
    uint32_t size = kHeader + total;
    tracepoint::tag(kind.tagAll);
    tracepoint::code(size);
    auto* whole = static_cast<DescriptorRequest*>(platform::HeapAllocZero(size));
    if (whole == nullptr) return nullptr;
    fillHeader(whole, port, kind.value, total);
    returned = 0;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(whole) + kHeader;
    if (!sendDescriptorRequest(hub, whole, size, &returned) || returned != size || totalLengthOf(bytes) != total) {
        platform::HeapFreeBlock(whole);
        return nullptr;
    }
    // The header is ours: whatever the driver left in it, wLength states
    // how many descriptor bytes the buffer holds.
    fillHeader(whole, port, kind.value, total);
    return whole;
}

}  // namespace

bool sendDescriptorRequest(platform::Handle hub, void* request, uint32_t size, uint32_t* bytesReturned) {
    *bytesReturned = 0;
    bool ok = platform::DeviceIoControl(hub, platform::kIoctlUsbGetDescriptorFromNodeConnection, request, size,
                                        request, size, bytesReturned, nullptr);
    return ok;
}

DescriptorRequest* getConfigDescriptor(platform::Handle hub, uint32_t port, uint8_t configurationIndex) {
    DescriptorKind kind{static_cast<uint16_t>(kConfigurationType << 8 | configurationIndex), kConfigurationHead,
                        "gCfgDes 00", "gCfgDes 00a", "gCfgDes 01"};
    return readWholeDescriptor(hub, port, kind);
}

DescriptorRequest* getBosDescriptor(platform::Handle hub, uint32_t port) {
    DescriptorKind kind{static_cast<uint16_t>(kBosType << 8), kBosHead, "gBosDes 00", "gBosDes 00a", "gBosDes 01"};
    return readWholeDescriptor(hub, port, kind);
}

void releaseDescriptorRequest(DescriptorRequest*& request) {
    platform::HeapFreeBlock(request);
    request = nullptr;
}

const uint8_t* descriptorBytes(const DescriptorRequest* request) {
    return reinterpret_cast<const uint8_t*>(request) + kHeader;
}

uint32_t descriptorScanLength(const DescriptorRequest* request) {
    if (request == nullptr) return 0;
    uint16_t held = request->SetupPacket.wLength;
    if (held < 4) return 0;
    uint16_t total = totalLengthOf(descriptorBytes(request));
    return total < held ? total : held;
}
