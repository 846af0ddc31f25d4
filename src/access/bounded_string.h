// Writing an entry's text into the caller's array within a byte bound.
#pragma once

#include <cstdint>

// Copies the text with its terminating zero when it is shorter than the
// bound; otherwise its first bound - 1 characters and a zero, so exactly
// bound bytes are written. A bound of 1 or less writes nothing; a missing
// text counts as empty.
void copyBoundedString(const char* text, uint8_t* destination, int32_t bound);
