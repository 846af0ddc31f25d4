#include "enum/walk_trace.h"

#include <cstdio>

#include "trace/trace_log.h"

namespace walktrace {

void tag(const char* text) {
    if (TraceLog::enabled()) TraceLog::writeLine(text);
}

void text(const char* value, const char* nameWhenNull) {
    if (!TraceLog::enabled()) return;
    if (value != nullptr) {
        TraceLog::writeLine(value);
        return;
    }
    std::snprintf(TraceLog::lineBuffer, TraceLog::kLineBufferSize, "%s==null", nameWhenNull);
    TraceLog::writeLine(TraceLog::lineBuffer);
}

void number(int32_t value) {
    if (!TraceLog::enabled()) return;
    std::snprintf(TraceLog::lineBuffer, TraceLog::kLineBufferSize, "INT:%d", static_cast<int>(value));
    TraceLog::writeLine(TraceLog::lineBuffer);
}

void code(uint32_t value) {
    if (!TraceLog::enabled()) return;
    std::snprintf(TraceLog::lineBuffer, TraceLog::kLineBufferSize, "ULND:%lu", static_cast<unsigned long>(value));
    TraceLog::writeLine(TraceLog::lineBuffer);
    std::snprintf(TraceLog::lineBuffer, TraceLog::kLineBufferSize, "ULNH:0x%08lX", static_cast<unsigned long>(value));
    TraceLog::writeLine(TraceLog::lineBuffer);
}

void bytes(const void* data, uint64_t length) {
    if (!TraceLog::enabled()) return;
    // The dump takes a signed 32-bit length; anything longer is cut there.
    int32_t shown = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(length);
    TraceLog::writeHexDump(static_cast<const uint8_t*>(data), shown);
}

}  // namespace walktrace
