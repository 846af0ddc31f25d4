// Hex dumps in the trace: sixteen bytes to a line, each line an offset, the
// bytes in hex and their printable characters, e.g.
//   0010: 41 42 1F 7E                                      AB.~
// A dump ends with an empty line. A dump longer than lineBuffer holds is
// written in several appends of whole lines, so no byte is lost and the
// file reads exactly as if it had been written at once.
#include <cstdio>
#include <cstring>

#include "platform/crt.h"
#include "trace/trace_buffers.h"
#include "trace/trace_log.h"

namespace TraceLog {
namespace {

constexpr int32_t kBytesPerLine = 16;
// The longest dump line: an offset of up to eight hex digits, colon and
// blank; sixteen byte fields; two blanks; the column; the line end.
constexpr size_t kLongestDumpLine = 10 + 3 * kBytesPerLine + 2 + kBytesPerLine + 1;
static_assert(kLongestDumpLine < kLineBufferSize, "a dump line must fit the line buffer");

char scratch[kScratchSize];

// The dump text being built in lineBuffer; appends never run past it.
class DumpText {
public:
    DumpText() { clear(); }

    void clear() {
        used_ = 0;
        lineBuffer[0] = '\0';
    }

    void append(const char* text) {
        size_t length = std::strlen(text);
        size_t room = kLineBufferSize - 1 - used_;
        if (length > room) length = room;
        std::memcpy(lineBuffer + used_, text, length);
        used_ += length;
        lineBuffer[used_] = '\0';
    }

    bool hasRoomForLine() const { return used_ + kLongestDumpLine < kLineBufferSize; }

    // Writes the whole lines gathered so far as one append. Its last line end
    // is left to writeLine, which adds one, so the file shows no seam.
    void writePart() {
        if (used_ == 0) return;
        if (lineBuffer[used_ - 1] == '\n') lineBuffer[used_ - 1] = '\0';
        writeLine(lineBuffer);
        clear();
    }

    // Writes the rest; writeLine's own line end makes the closing empty line.
    void writeLast() { writeLine(lineBuffer); }

private:
    size_t used_ = 0;
};

bool traceFileReachable() {
    platform::CrtFile* trace = platform::crtOpen(currentFileName, "a");
    if (trace == nullptr) return false;
    platform::crtClose(trace);
    return true;
}

char printable(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.'; }

}  // namespace

void writeHexDump(const uint8_t* data, int32_t length) {
    if (!enabled() || data == nullptr) return;
    if (!traceFileReachable()) return;

    DumpText text;
    char column[kBytesPerLine + 1] = "";
    int32_t columnLength = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (i % kBytesPerLine == 0) {
            if (!text.hasRoomForLine()) text.writePart();
            std::snprintf(scratch, sizeof scratch, "%04X: ", static_cast<unsigned>(i));
            text.append(scratch);
        }
        std::snprintf(scratch, sizeof scratch, "%02X ", static_cast<unsigned>(data[i]));
        text.append(scratch);
        column[columnLength++] = printable(data[i]);
        column[columnLength] = '\0';
        if ((i + 1) % kBytesPerLine == 0) {
            std::snprintf(scratch, sizeof scratch, "  %s\n", column);
            text.append(scratch);
            columnLength = 0;
            column[0] = '\0';
        }
    }
    if (columnLength > 0) {
        // Pad the missing byte fields so that every column starts alike.
        for (int32_t missing = columnLength; missing < kBytesPerLine; ++missing) text.append("   ");
        std::snprintf(scratch, sizeof scratch, "  %s\n", column);
        text.append(scratch);
    }
    text.writeLast();
}

}  // namespace TraceLog
