// The trace log: not written yet; tracing stays off.
#include "trace/trace_log.h"

namespace TraceLog {

const char* const kKeyFilePath = "c:\\temp\\tolvwinusbdebug.key";
char lineBuffer[kLineBufferSize];
char fileName[kFileNameSize] = "null";

bool enabled() { return false; }
void open() {}
void disable() {}
void writeLine(const char*) {}
void writeHexDump(const uint8_t*, int32_t) {}

}  // namespace TraceLog
