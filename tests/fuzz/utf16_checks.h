// Checks of converted text shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// No unpaired surrogate anywhere.
inline bool isWellFormedUtf16(const std::u16string& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// Well-formed UTF-8 as the Unicode standard defines it (no overlong forms,
// no surrogates, nothing above U+10FFFF).
inline bool isWellFormedUtf8(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size;) {
        uint8_t b = bytes[i];
        size_t extra;
        uint8_t low = 0x80, high = 0xBF;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + extra >= size) return false;
        for (size_t k = 1; k <= extra; ++k) {
            uint8_t c = bytes[i + k];
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace fuzz
