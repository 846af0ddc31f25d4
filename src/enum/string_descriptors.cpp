#include "enum/string_descriptors.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "enum/descriptor_scan.h"
#include "platform/kernel.h"
#include "trace/trace_points.h"

namespace {

constexpr uint32_t kHeader = platform::kDescriptorRequestHeaderSize;
constexpr uint32_t kLargestString = 255;
constexpr uint8_t kVideoClass = 0x0E;
constexpr uint8_t kLastVideoIndex = 31;
constexpr uint32_t kMostLanguages = (kLargestString - 2) / 2;

size_t nodeSize(uint8_t descriptorLength) {
    return offsetof(StringDescriptorNode, stringDescriptor) + descriptorLength + kStringNodeSpareBytes;
}

// Takes a string index from the device or configuration descriptor.
struct StringFetch {
    platform::Handle hub;
    uint32_t port;
    uint32_t languageCount;
    const uint16_t* languageIds;
    StringDescriptorNode* head;

    int32_t operator()(uint8_t index) const {
        return getStringDescriptors(hub, port, index, languageCount, languageIds, head);
    }
};

// Fetches the strings the configuration names and tells whether it has a
// video interface. Unlike the presence test, other-speed configurations
// are passed over and interface associations are looked at.
bool fetchConfigurationStrings(const DescriptorRequest* configuration, const StringFetch& fetch) {
    bool video = false;
    scanConfiguration(configuration, [&](const uint8_t* d, uint8_t length) {
        switch (d[1]) {
        case descriptor_type::kConfiguration:
            if (length != 9) return false;
            if (d[6] != 0) fetch(d[6]);  // iConfiguration
            return true;
        case descriptor_type::kInterface:
            if (length != 9 && length != 11) return false;
            if (d[5] == kVideoClass) video = true;  // bInterfaceClass
            if (d[8] != 0) fetch(d[8]);             // iInterface
            return true;
        case descriptor_type::kInterfaceAssociation:
            if (length < 8) return false;
            if (d[7] != 0) fetch(d[7]);  // iFunction
            return true;
        default:
            return true;
        }
    });
    return video;
}

}  // namespace

StringDescriptorNode* getStringDescriptor(platform::Handle hub, uint32_t port, uint8_t index, uint16_t languageId) {
    uint8_t buffer[kHeader + kLargestString] = {};
    auto* request = reinterpret_cast<DescriptorRequest*>(buffer);
    request->ConnectionIndex = port;
    request->SetupPacket.wValue = static_cast<uint16_t>(descriptor_type::kString << 8 | index);
    request->SetupPacket.wIndex = languageId;
    request->SetupPacket.wLength = kLargestString;
    tracepoint::tag("GetStringDesc 00");
    tracepoint::code(sizeof buffer);
    uint32_t returned = 0;
    const uint8_t* descriptor = buffer + kHeader;
    // bLength must account for exactly the bytes that came back, and at
    // least for itself and the type byte.
    if (!sendDescriptorRequest(hub, buffer, sizeof buffer, &returned) || returned < kHeader + 2 ||
        descriptor[1] != descriptor_type::kString || descriptor[0] != returned - kHeader || descriptor[0] % 2 != 0) {
        tracepoint::tag("GetStringDesc 01");
        tracepoint::code(returned);
        return nullptr;
    }
    uint8_t length = descriptor[0];
    auto* node = static_cast<StringDescriptorNode*>(platform::HeapAllocZero(nodeSize(length)));
    if (node == nullptr) return nullptr;
    node->descriptorIndex = index;
    node->languageId = languageId;
    std::memcpy(node->stringDescriptor, descriptor, length);
    return node;
}

int32_t getStringDescriptors(platform::Handle hub, uint32_t port, uint8_t index, uint32_t languageCount,
                             const uint16_t* languageIds, StringDescriptorNode* head) {
    if (languageIds == nullptr) languageCount = 0;
    StringDescriptorNode* last = nullptr;
    for (StringDescriptorNode* node = head; node != nullptr; node = node->next) {
        if (node->descriptorIndex == index) return 0;
        last = node;
    }
    for (uint32_t i = 0; i < languageCount && last != nullptr; ++i) {
        last->next = getStringDescriptor(hub, port, index, languageIds[i]);
        last = last->next;
    }
    return last != nullptr ? 0 : kStringsFailed;
}

StringDescriptorNode* getAllStringDescriptors(platform::Handle hub, uint32_t port,
                                              const platform::UsbDeviceDescriptor* device,
                                              const DescriptorRequest* configuration) {
    StringDescriptorNode* head = getStringDescriptor(hub, port, 0, 0);
    if (head == nullptr) return nullptr;

    // The language ids, taken from the node's bytes (bLength is even and at
    // least 2, so the count is exact).
    uint16_t languages[kMostLanguages] = {};
    uint32_t languageCount = (head->stringDescriptor[0] - 2u) / 2u;
    for (uint32_t i = 0; i < languageCount; ++i)
        languages[i] =
            static_cast<uint16_t>(head->stringDescriptor[2 + 2 * i] | head->stringDescriptor[3 + 2 * i] << 8);
    StringFetch fetch{hub, port, languageCount, languages, head};

    if (device != nullptr) {
        for (uint8_t index : {device->iManufacturer, device->iProduct, device->iSerialNumber})
            if (index != 0) fetch(index);
    }
    if (fetchConfigurationStrings(configuration, fetch)) {
        for (uint8_t index = 1; index <= kLastVideoIndex; ++index)
            if (fetch(index) == kStringsFailed) break;
    }
    return head;
}

bool areThereStringDescriptors(const platform::UsbDeviceDescriptor* device, const DescriptorRequest* configuration) {
    if (device != nullptr && (device->iManufacturer != 0 || device->iProduct != 0 || device->iSerialNumber != 0))
        return true;
    bool found = false;
    scanConfiguration(configuration, [&](const uint8_t* d, uint8_t length) {
        switch (d[1]) {
        case descriptor_type::kConfiguration:
        case descriptor_type::kOtherSpeedConfiguration:
            if (length != 9) return false;
            found = d[6] != 0;  // iConfiguration
            return !found;
        case descriptor_type::kInterface:
            if (length != 9 && length != 11) return false;
            found = d[8] != 0;  // iInterface
            return !found;
        default:
            return true;
        }
    });
    return found;
}

void releaseStringDescriptorChain(StringDescriptorNode*& head) {
    while (head != nullptr) {
        StringDescriptorNode* next = head->next;
        platform::HeapFreeBlock(head);
        head = next;
    }
}
