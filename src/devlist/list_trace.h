// Trace points of the list operations: nothing is formatted or written
// unless tracing is on.
#pragma once

#include <cstdint>
#include <cstdio>

#include "trace/trace_log.h"

inline void traceStep(const char* tag) {
    if (TraceLog::enabled()) TraceLog::writeLine(tag);
}

inline void traceNumber(int32_t value) {
    if (!TraceLog::enabled()) return;
    std::snprintf(TraceLog::lineBuffer, sizeof TraceLog::lineBuffer, "INT:%d", value);
    TraceLog::writeLine(TraceLog::lineBuffer);
}
