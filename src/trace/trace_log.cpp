// The trace log: the key file, rotating trace files and line appends. All
// file access goes through the C-runtime streams of the platform; no stream
// is held open between trace points.
#include "trace/trace_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/shared_words.h"
#include "trace/trace_buffers.h"

namespace TraceLog {

const char* const kKeyFilePath = "c:\\temp\\tolvwinusbdebug.key";

namespace {

const char* const kHeaderRule = "================================\n";

void setEnabled(bool on) { platform::traceWords()->enabled = on ? 1 : 0; }

// Takes the number of the next trace file and advances the machine-wide
// counter in one step, so that processes opening traces at the same moment
// never draw the same number or lose an advance. A counter found outside
// 0..9 starts again at 0.
int32_t claimFileNumber() {
    volatile int32_t* counter = &platform::traceWords()->fileCounter;
    int32_t seen = __atomic_load_n(counter, __ATOMIC_SEQ_CST);
    for (;;) {
        int32_t number = (seen >= 0 && seen < kFileNumbers) ? seen : 0;
        int32_t following = number + 1 == kFileNumbers ? 0 : number + 1;
        if (__atomic_compare_exchange_n(counter, &seen, following, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST))
            return number;
    }
}

void forgetFileName() { std::snprintf(currentFileName, sizeof currentFileName, "%s", "null"); }

// Creates (or truncates) the trace file with its two header lines. True when
// the file could be created.
bool createTraceFile(uint32_t ticks) {
    platform::CrtFile* trace = platform::crtOpen(currentFileName, "w");
    if (trace == nullptr) return false;
    platform::crtWrite(kHeaderRule, trace);
    std::snprintf(lineBuffer, sizeof lineBuffer, "%lu \n", static_cast<unsigned long>(ticks));
    platform::crtWrite(lineBuffer, trace);
    platform::crtFlush(trace);
    platform::crtClose(trace);
    return true;
}

}  // namespace

bool enabled() { return platform::traceWords()->enabled != 0; }

void open() {
    platform::CrtFile* key = platform::crtOpen(kKeyFilePath, "r");
    setEnabled(false);
    if (key == nullptr) {
        forgetFileName();
        return;
    }
    size_t read = platform::crtRead(lineBuffer, 1, kKeyFileReadLimit, key);
    if (read == 0) {
        forgetFileName();
        platform::crtClose(key);
        return;
    }
    // The base path is the key file's first line.
    lineBuffer[read] = '\0';
    lineBuffer[std::strcspn(lineBuffer, "\r\n")] = '\0';

    uint32_t ticks = platform::GetTickCount();
    int formed = std::snprintf(currentFileName, sizeof currentFileName, "%s_%02d.txt", lineBuffer,
                               static_cast<int>(claimFileNumber()));
    // The base path is at most 500 bytes, so the name always fits; a cut
    // name would still never be created.
    bool nameWhole = formed > 0 && static_cast<size_t>(formed) < sizeof currentFileName;
    if (nameWhole && createTraceFile(ticks)) setEnabled(true);
    platform::crtClose(key);
}

void disable() { setEnabled(false); }

void writeLine(const char* text) {
    if (!enabled() || text == nullptr) return;
    platform::CrtFile* trace = platform::crtOpen(currentFileName, "a");
    if (trace == nullptr) return;
    platform::crtWrite(text, trace);
    platform::crtWrite("\n", trace);
    platform::crtFlush(trace);
    platform::crtClose(trace);
}

void writeFormatted(const char* format, ...) {
    if (!enabled()) return;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(lineBuffer, sizeof lineBuffer, format, arguments);
    va_end(arguments);
    writeLine(lineBuffer);
}

const char* fileName() { return currentFileName; }

}  // namespace TraceLog
