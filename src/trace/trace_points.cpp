#include "trace/trace_points.h"

#include "trace/trace_log.h"

namespace tracepoint {

void tag(const char* text) {
    if (TraceLog::enabled()) TraceLog::writeLine(text);
}

void text(const char* value, const char* nameWhenNull) {
    if (!TraceLog::enabled()) return;
    if (value != nullptr)
        TraceLog::writeLine(value);
    else
        TraceLog::writeFormatted("%s==null", nameWhenNull);
}

void number(int32_t value) { TraceLog::writeFormatted("INT:%d", static_cast<int>(value)); }

void code(uint32_t value) {
    TraceLog::writeFormatted("ULND:%lu", static_cast<unsigned long>(value));
    TraceLog::writeFormatted("ULNH:0x%08lX", static_cast<unsigned long>(value));
}

void bytes(const void* data, uint64_t length) {
    if (!TraceLog::enabled()) return;
    // The dump takes a signed 32-bit length; anything longer is cut there.
    int32_t shown = length > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(length);
    TraceLog::writeHexDump(static_cast<const uint8_t*>(data), shown);
}

}  // namespace tracepoint
