// The optional debug trace of the device-list operations. A key file turns
// it on and names where the rotating trace files go; callers test
// TraceLog::enabled() before they format anything.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TraceLog {

constexpr size_t kLineBufferSize = 4096;
constexpr size_t kScratchSize = 512;
constexpr size_t kFileNameSize = 512;
extern const char* const kKeyFilePath;  // "c:\temp\tolvwinusbdebug.key"

bool enabled();
void open();
void disable();
void writeLine(const char* text);
void writeHexDump(const uint8_t* data, int32_t length);

// Per-process buffers: callers format their own lines into lineBuffer.
extern char lineBuffer[kLineBufferSize];
extern char fileName[kFileNameSize];

}  // namespace TraceLog
