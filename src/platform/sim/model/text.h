// Text conversions of the simulated machine: the model keeps UTF-8, the
// wide calls answer UTF-16 and the narrow calls the ANSI code page.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Malformed UTF-8 becomes U+FFFD.
std::u16string utf8ToUtf16(const std::string& utf8);
// Appends one code point (at most U+10FFFF) encoded as UTF-8.
void appendUtf8(std::string& out, uint32_t codePoint);
// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const std::u16string& utf16);
// Code points up to U+00FF as one byte each, any other as '?'.
std::string utf8ToAnsi(const std::string& utf8);
std::string lowerAscii(std::string text);
std::string upperAscii(std::string text);
bool equalsNoCase(const std::string& a, const std::string& b);
std::string hex4(uint32_t value);  // four upper-case hexadecimal digits
// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

}  // namespace sim
