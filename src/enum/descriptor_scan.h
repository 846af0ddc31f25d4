// Walks the descriptors packed inside a configuration descriptor.
#pragma once

#include <cstdint>

#include "enum/descriptor_requests.h"

// Calls visit(descriptor, length) for each descriptor in turn, from the
// configuration descriptor itself, while a whole descriptor lies within
// the bytes that can be read. A length byte of 0 ends the scan, and so does
// visit returning false.
template <typename Visit>
void scanConfiguration(const DescriptorRequest* configuration, Visit visit) {
    if (configuration == nullptr) return;
    const uint8_t* start = descriptorBytes(configuration);
    uint32_t end = descriptorScanLength(configuration);
    for (uint32_t position = 0; position + 2 < end;) {
        uint8_t length = start[position];
        if (length == 0 || position + length > end) return;
        if (!visit(start + position, length)) return;
        position += length;
    }
}

namespace descriptor_type {
constexpr uint8_t kConfiguration = 2;
constexpr uint8_t kString = 3;
constexpr uint8_t kInterface = 4;
constexpr uint8_t kOtherSpeedConfiguration = 7;
constexpr uint8_t kInterfaceAssociation = 11;
}  // namespace descriptor_type
