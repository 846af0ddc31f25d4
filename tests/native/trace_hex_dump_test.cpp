// Hex dumps in the trace: the exact line layout, the printable column, and
// dumps longer than one line buffer holds.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "trace_fixture.h"

using namespace testsupport;

class TraceHexDump : public TraceFixture {
protected:
    void SetUp() override {
        TraceFixture::SetUp();
        writeKey("c:\\temp\\dump");
        TraceLog::open();
        ASSERT_TRUE(TraceLog::enabled());
    }

    // What the trace file holds after its header.
    std::string body() const {
        std::string text = readFile(tempFile("dump_00.txt"));
        EXPECT_EQ(text.compare(0, std::strlen(kHeader), kHeader), 0);
        return text.substr(std::strlen(kHeader));
    }

    static std::vector<uint8_t> pattern(size_t count) {
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        return bytes;
    }
};

TEST_F(TraceHexDump, EmptyOrNegativeLengthWritesOneEmptyLineAndNullWritesNothing) {
    uint8_t byte = 0x41;
    TraceLog::writeHexDump(&byte, 0);
    TraceLog::writeHexDump(&byte, -5);
    TraceLog::writeHexDump(nullptr, 4);
    EXPECT_EQ(body(), "\n\n");
}

TEST_F(TraceHexDump, SixteenBytesMakeOneFullLine) {
    std::vector<uint8_t> bytes;
    for (int value = 0x30; value <= 0x3F; ++value) bytes.push_back(static_cast<uint8_t>(value));
    TraceLog::writeHexDump(bytes.data(), 16);
    EXPECT_EQ(body(), "0000: 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F   0123456789:;<=>?\n\n");
}

TEST_F(TraceHexDump, TwentyBytesPadTheLastLineSoColumnsAlign) {
    const char* letters = "ABCDEFGHIJKLMNOPQRST";
    TraceLog::writeHexDump(reinterpret_cast<const uint8_t*>(letters), 20);
    std::string first = "0000: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50   ABCDEFGHIJKLMNOP\n";
    std::string second = "0010: 51 52 53 54 " + std::string(12 * 3, ' ') + "  QRST\n";
    EXPECT_EQ(first.size(), 73u);
    EXPECT_EQ(second.size(), 73u - 12u);
    EXPECT_EQ(body(), first + second + "\n");
}

TEST_F(TraceHexDump, OnlyBytesFrom0x20To0x7EShowThemselves) {
    const uint8_t bytes[] = {0x1F, 0x20, 0x7E, 0x7F, 0x00, 0xFF, 0x61};
    TraceLog::writeHexDump(bytes, sizeof bytes);
    EXPECT_EQ(body(), "0000: 1F 20 7E 7F 00 FF 61 " + std::string(9 * 3, ' ') + "  . ~...a\n\n");
}

TEST_F(TraceHexDump, NothingIsWrittenWhileTracingIsOffOrTheFileIsUnreachable) {
    const uint8_t bytes[] = {1, 2, 3};
    TraceLog::disable();
    TraceLog::writeHexDump(bytes, 3);
    platform::traceWords()->enabled = 1;
    sim::failNthCall("fopen", 1, 5);
    TraceLog::writeHexDump(bytes, 3);
    EXPECT_EQ(body(), "");
}

// Reads a dump back from the file: every line's offset, byte fields and
// column must match the data, lines must follow one another without a gap,
// and exactly one empty line must close the dump.
static void expectDumpOf(const std::string& text, const std::vector<uint8_t>& data) {
    std::istringstream lines(text);
    std::string line;
    size_t offset = 0;
    while (offset < data.size() && std::getline(lines, line)) {
        size_t colon = line.find(": ");
        ASSERT_NE(colon, std::string::npos) << "line for offset " << offset << ": '" << line << "'";
        ASSERT_EQ(std::stoul(line.substr(0, colon), nullptr, 16), offset);
        ASSERT_GE(colon, 4u);
        std::string fields = line.substr(colon + 2, 48);
        std::string column = line.substr(colon + 2 + 48 + 2);
        size_t count = std::min<size_t>(16, data.size() - offset);
        ASSERT_EQ(column.size(), count);
        for (size_t k = 0; k < count; ++k) {
            uint8_t byte = data[offset + k];
            unsigned parsed = 0;
            ASSERT_EQ(std::sscanf(fields.c_str() + 3 * k, "%2X", &parsed), 1);
            ASSERT_EQ(parsed, byte) << "byte " << offset + k;
            ASSERT_EQ(column[k], byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.');
        }
        offset += count;
    }
    EXPECT_EQ(offset, data.size()) << "bytes missing from the dump";
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "") << "the dump must close with an empty line";
    EXPECT_FALSE(std::getline(lines, line)) << "text after the dump: '" << line << "'";
}

TEST_F(TraceHexDump, DumpsBeyondOneLineBufferLoseNoByte) {
    // 896 bytes fill the line buffer exactly; one more needs a second append;
    // from 0x10000 on the offsets grow a fifth digit.
    for (size_t count : {size_t{896}, size_t{897}, size_t{5000}, size_t{0x10010}}) {
        SCOPED_TRACE(count);
        TraceLog::open();
        std::vector<uint8_t> data = pattern(count);
        TraceLog::writeHexDump(data.data(), static_cast<int32_t>(data.size()));
        std::string file = readFile(sim::hostPath(TraceLog::fileName()));
        ASSERT_EQ(file.compare(0, std::strlen(kHeader), kHeader), 0);
        expectDumpOf(file.substr(std::strlen(kHeader)), data);
    }
}
