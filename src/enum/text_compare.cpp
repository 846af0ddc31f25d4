#include "enum/text_compare.h"

#include <cstring>

namespace {

unsigned char upperAscii(char c) {
    unsigned char b = static_cast<unsigned char>(c);
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

}  // namespace

int32_t findNoCase(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    size_t n = std::strlen(text);
    size_t m = std::strlen(pattern);
    if (n < m) return -1;
    for (size_t i = 0; i <= n - m; ++i) {
        size_t j = 0;
        while (j < m && upperAscii(text[i + j]) == upperAscii(pattern[j])) ++j;
        if (j == m) return i > 0x7FFFFFFF ? -1 : static_cast<int32_t>(i);
    }
    return -1;
}

bool equalsNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (upperAscii(*a) != upperAscii(*b)) return false;
    return *a == *b;
}
