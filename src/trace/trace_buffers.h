// The trace log's per-process buffers, shared by its own sources only: the
// line being formatted (also the key file's text while a trace opens), and
// the name of the current trace file.
#pragma once

#include <cstddef>

namespace TraceLog {

constexpr size_t kLineBufferSize = 4096;  // the longest line written at once, its terminator included
constexpr size_t kScratchSize = 512;
constexpr size_t kFileNameSize = 512;

extern char lineBuffer[kLineBufferSize];
extern char currentFileName[kFileNameSize];

}  // namespace TraceLog
