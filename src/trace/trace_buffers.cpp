#include "trace/trace_buffers.h"

namespace TraceLog {

char lineBuffer[kLineBufferSize];
char currentFileName[kFileNameSize] = "null";

}  // namespace TraceLog
