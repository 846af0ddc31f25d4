// String descriptors of a device, read through its hub and kept in a chain:
// the language list first, then one node per string index and language.
#pragma once

#include <cstddef>
#include <cstdint>

#include "enum/descriptor_requests.h"
#include "platform/types.h"

// One string descriptor in one language, from the process heap. The
// descriptor is followed by kStringNodeSpareBytes zero bytes, so its 16-bit
// text is always followed by a zero code unit.
struct StringDescriptorNode {
    StringDescriptorNode* next;
    uint8_t descriptorIndex;    // 0 for the language list
    uint16_t languageId;        // 0 for the language list
    uint8_t stringDescriptor[1];  // bLength, bDescriptorType (3), UTF-16LE text
};

constexpr size_t kStringNodeSpareBytes = 4;
constexpr int32_t kStringsFailed = static_cast<int32_t>(0x80004005u);  // E_FAIL

// One string descriptor, as a new node with next null, or null.
StringDescriptorNode* getStringDescriptor(platform::Handle hub, uint32_t port, uint8_t index, uint16_t languageId);

// Appends the string of index in each language to the chain from head,
// unless the chain already holds that index. 0 when the chain ends in a
// node, kStringsFailed when a language could not be read.
int32_t getStringDescriptors(platform::Handle hub, uint32_t port, uint8_t index, uint32_t languageCount,
                             const uint16_t* languageIds, StringDescriptorNode* head);

// Every string the device names: the language list, the manufacturer,
// product and serial-number strings, those named in the configuration
// descriptor (may be null), and for a video device indices 1 to 31. Null
// when the language list cannot be read.
StringDescriptorNode* getAllStringDescriptors(platform::Handle hub, uint32_t port,
                                              const platform::UsbDeviceDescriptor* device,
                                              const DescriptorRequest* configuration);

// Whether the device descriptor or the configuration descriptor (may be
// null) names any string at all.
bool areThereStringDescriptors(const platform::UsbDeviceDescriptor* device, const DescriptorRequest* configuration);

// Releases every node of the chain and clears the reference.
void releaseStringDescriptorChain(StringDescriptorNode*& head);
