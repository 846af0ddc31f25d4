#include "access/bounded_string.h"

#include <cstring>

void copyBoundedString(const char* text, uint8_t* destination, int32_t bound) {
    if (text == nullptr) text = "";
    size_t length = std::strlen(text);
    if (bound > 0 && length < static_cast<size_t>(bound)) {
        std::memcpy(destination, text, length + 1);
        return;
    }
    if (bound <= 1) return;
    std::memcpy(destination, text, static_cast<size_t>(bound) - 1);
    destination[bound - 1] = 0;
}
