#include "enum/interface_paths.h"

#include <cstddef>

#include "platform/kernel.h"

platform::SpDeviceInterfaceDetailDataW* allocateInterfaceDetail(uint32_t reportedSize) {
    constexpr uint32_t kFixedPart = sizeof(platform::SpDeviceInterfaceDetailDataW);  // 8
    if (reportedSize > kLargestInterfaceDetail) return nullptr;
    size_t size = reportedSize < kFixedPart ? kFixedPart : reportedSize;
    size = (size + 1) / 2 * 2 + sizeof(char16_t);
    auto* detail = static_cast<platform::SpDeviceInterfaceDetailDataW*>(platform::HeapAllocZero(size));
    if (detail != nullptr) detail->cbSize = kFixedPart;
    return detail;
}

int32_t losslessNarrowLength(const char16_t* path) {
    if (path == nullptr) return -1;
    int32_t length = 0;
    for (; path[length] != 0; ++length) {
        if (path[length] > 0xFF || length == 0x7FFFFFFE) return -1;
    }
    return length;
}
