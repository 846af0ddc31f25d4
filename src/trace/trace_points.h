// Trace points of the list operations and of the USB topology walk. Each
// tests TraceLog::enabled() first, so a disabled trace costs one comparison
// and formats nothing.
#pragma once

#include <cstdint>

namespace tracepoint {

// A step tag such as "CDL01" or "gCfgDes 00"; a tag ending in "!" marks a
// failure.
void tag(const char* text);
// A text as it is, or "<name>==null" when there is none.
void text(const char* value, const char* nameWhenNull);
// "INT:%d".
void number(int32_t value);
// An operating-system error code or a size, as "ULND:%lu" then "ULNH:0x%08lX".
void code(uint32_t value);
// A hex dump of bytes that are there to be read.
void bytes(const void* data, uint64_t length);

}  // namespace tracepoint
