// The optional debug trace of the device-list operations. A key file turns
// it on and names where the rotating trace files go; callers test
// TraceLog::enabled() before they format anything.
//
// The on/off flag and the number of the next trace file are machine-wide
// (platform::traceWords()): a trace opened by one process enables the trace
// points of every process, each writing to the file its own last open named.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TraceLog {

constexpr size_t kKeyFileReadLimit = 500;  // bytes of the key file taken as the base path
constexpr int32_t kFileNumbers = 10;       // trace files _00 to _09, used in turn
extern const char* const kKeyFilePath;     // "c:\temp\tolvwinusbdebug.key"

// True while a trace file is open for writing (machine-wide).
bool enabled();
// Reads the key file, creates the next trace file with its header and
// switches tracing on; leaves it off when there is no key or no file.
void open();
// Switches tracing off for every process; the file name stays.
void disable();
// Appends the text and a line end (nothing for a null text).
void writeLine(const char* text);
// Formats one line as printf does (cut at 4095 bytes, what the line buffer
// holds without its terminator) and appends it with a line end; formats
// nothing while tracing is off.
void writeFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Appends a hex dump of the bytes, sixteen to a line with their printable
// characters, and an empty line after it.
void writeHexDump(const uint8_t* data, int32_t length);

// The trace file this process's latest open named ("null" when it named none).
const char* fileName();

}  // namespace TraceLog
