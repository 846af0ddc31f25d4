#include "enum/bounded_text.h"

namespace {

// Copies while room remains, count is not used up and the source has not
// ended; a copy that fills the room gives up its last character for the
// terminator.
int32_t copyWorker(char* destination, size_t room, const char* source, size_t count) {
    int32_t result = kTextOk;
    while (room != 0 && count != 0 && *source != '\0') {
        *destination++ = *source++;
        --room;
        --count;
    }
    if (room == 0) {
        --destination;
        result = kTextInsufficientBuffer;
    }
    *destination = '\0';
    return result;
}

bool validSize(size_t size) { return size != 0 && size <= kTextMaxSize; }

}  // namespace

int32_t boundedLength(const char* text, size_t maximum, size_t* length) {
    int32_t result = kTextInvalidArgument;
    size_t counted = 0;
    if (text != nullptr && maximum <= kTextMaxSize) {
        while (counted < maximum && text[counted] != '\0') ++counted;
        if (counted < maximum) result = kTextOk;
    }
    if (length != nullptr) *length = result == kTextOk ? counted : 0;
    return result;
}

int32_t boundedCopy(char* destination, size_t size, const char* source, size_t count) {
    if (destination == nullptr || !validSize(size)) return kTextInvalidArgument;
    // A missing source is refused like an impossible count: the destination
    // is left as the empty text.
    if (source == nullptr || count > kTextMaxCount) {
        *destination = '\0';
        return kTextInvalidArgument;
    }
    return copyWorker(destination, size, source, count);
}

int32_t boundedAppend(char* destination, size_t size, const char* source, size_t count) {
    if (destination == nullptr || !validSize(size)) return kTextInvalidArgument;
    size_t length = 0;
    if (boundedLength(destination, size, &length) < 0) return kTextInvalidArgument;
    if (source == nullptr || count > kTextMaxCount) return kTextInvalidArgument;
    return copyWorker(destination + length, size - length, source, count);
}
