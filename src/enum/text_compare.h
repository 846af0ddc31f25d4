// Case-insensitive comparison and search of narrow text, folding only the
// ASCII letters; every other byte (0x80 to 0xFF included) compares as it is.
#pragma once

#include <cstdint>

// Position (from 0) of the first occurrence of pattern in text, or -1. An
// empty pattern is found at 0.
int32_t findNoCase(const char* text, const char* pattern);

// True when both texts are equal but for the case of ASCII letters.
bool equalsNoCase(const char* a, const char* b);
