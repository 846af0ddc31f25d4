#include "enum/narrow_text.h"

#include "enum/string_descriptors.h"
#include "platform/crt.h"
#include "platform/kernel.h"
#include "trace/trace_log.h"
#include "trace/trace_points.h"

char* wcstcs(const char16_t* text, int onProcessHeap) {
    tracepoint::tag("wcstcs00");
    tracepoint::tag(onProcessHeap != 0 ? "wcstcs01" : "wcstcs_else");
    size_t units = 0;
    while (text[units] != 0) ++units;
    if (TraceLog::enabled()) {
        tracepoint::number(units + 1 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(units + 1));
        tracepoint::bytes(text, static_cast<uint64_t>(units) * 2);
    }
    auto* narrow = static_cast<char*>(onProcessHeap != 0 ? platform::HeapAllocZero(units + 1)
                                                          : platform::crtAllocZero(units + 1));
    if (narrow == nullptr) return nullptr;
    for (size_t i = 0; i <= units; ++i) narrow[i] = static_cast<char>(text[i] & 0xFF);
    tracepoint::text(narrow, "wcstcs");
    return narrow;
}

char* narrowCopy(const char16_t* text, size_t capacity) {
    // Even an empty result needs its terminator.
    size_t size = capacity == 0 ? 1 : capacity;
    char* narrow = static_cast<char*>(platform::HeapAllocZero(size));
    if (narrow == nullptr) return nullptr;
    size_t written = 0;
    int zeros = 0;
    for (size_t position = 0; zeros < 2; ++position) {
        char16_t unit = text[position / 2];
        uint8_t byte = static_cast<uint8_t>(position % 2 == 0 ? unit & 0xFF : unit >> 8);
        if (byte == 0) {
            ++zeros;
            continue;
        }
        if (zeros > 0) --zeros;
        if (position % 2 == 0 && written + 1 < size) {
            narrow[written++] = static_cast<char>(byte);
            narrow[written] = '\0';
        }
    }
    return narrow;
}

void narrowDescriptorText(const StringDescriptorNode* node, char* buffer) {
    const uint8_t* descriptor = node->stringDescriptor;
    size_t length = descriptor[0];
    size_t written = 0;
    // The text starts after bLength and bDescriptorType. The node's spare
    // zero bytes end it at the latest just past the descriptor.
    for (size_t offset = 2; offset + 1 < length + kStringNodeSpareBytes; offset += 2) {
        uint16_t unit = static_cast<uint16_t>(descriptor[offset] | descriptor[offset + 1] << 8);
        if (unit == 0 || unit > 0xFF || written + 1 >= kDescriptorTextBufferSize) break;
        buffer[written++] = static_cast<char>(unit);
    }
    buffer[written] = '\0';
}
