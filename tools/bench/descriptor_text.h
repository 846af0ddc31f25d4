// The text of a string descriptor: UTF-16LE after its two-byte head.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/model/text.h"

namespace bench_tool {

inline std::string stringDescriptorText(const std::vector<uint8_t>& bytes) {
    std::u16string text;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) text += static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
    return sim::utf16ToUtf8(text);
}

}  // namespace bench_tool
