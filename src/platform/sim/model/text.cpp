#include "platform/sim/model/text.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace sim {
namespace {

std::vector<uint32_t> codePoints(const std::string& utf8) {
    std::vector<uint32_t> out;
    const auto* b = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = b[i];
        int extra = c < 0x80 ? 0 : (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2
                  : (c >= 0xF0 && c <= 0xF4) ? 3 : -1;
        if (extra < 0) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t value = extra == 0 ? c : (c & (0x3F >> extra));
        size_t k = 1;
        for (; k <= static_cast<size_t>(extra); ++k) {
            if (i + k >= n || (b[i + k] & 0xC0) != 0x80) break;
            value = (value << 6) | (b[i + k] & 0x3F);
        }
        if (k <= static_cast<size_t>(extra) || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF ||
            (extra == 2 && value < 0x800) || (extra == 3 && value < 0x10000)) {
            out.push_back(0xFFFD);
            i += k;
            continue;
        }
        out.push_back(value);
        i += k;
    }
    return out;
}

}  // namespace

std::u16string utf8ToUtf16(const std::string& utf8) {
    std::u16string out;
    for (uint32_t cp : codePoints(utf8)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16ToUtf8(const std::u16string& utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string utf8ToAnsi(const std::string& utf8) {
    std::string out;
    for (uint32_t cp : codePoints(utf8)) out += cp <= 0xFF ? static_cast<char>(cp) : '?';
    return out;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool equalsNoCase(const std::string& a, const std::string& b) { return lowerAscii(a) == lowerAscii(b); }

std::string hex4(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace sim
