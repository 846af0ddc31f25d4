// The trace log's key file, file rotation and line appends.
#include <filesystem>
#include <string>

#include "trace_fixture.h"

using namespace testsupport;

namespace fs = std::filesystem;

using TraceLogOpen = TraceFixture;

TEST_F(TraceLogOpen, MissingOrEmptyKeyFileLeavesTracingOffAndTheCounterAlone) {
    // A name from an earlier open is forgotten.
    writeKey("c:\\temp\\before");
    TraceLog::open();
    ASSERT_STREQ(TraceLog::fileName(), "c:\\temp\\before_00.txt");
    fs::remove(tempFile("before_00.txt"));
    fs::remove(tempFile("tolvwinusbdebug.key"));

    platform::traceWords()->fileCounter = 7;
    platform::traceWords()->enabled = 1;  // as another process may have left it
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "null");
    EXPECT_FALSE(TraceLog::enabled());
    EXPECT_EQ(counter(), 7);

    writeKey("");
    platform::traceWords()->enabled = 1;
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "null");
    EXPECT_FALSE(TraceLog::enabled());
    EXPECT_EQ(counter(), 7);
    // Nothing but the key file was made (and the fixture checks it was closed).
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "c" / "temp"), fs::directory_iterator()), 1);
    EXPECT_FALSE(fs::exists(root_ / "null"));
}

TEST_F(TraceLogOpen, KeyWithoutLineEndNamesTheFileAndGetsTheHeader) {
    writeKey("c:\\temp\\run");
    TraceLog::open();
    EXPECT_TRUE(TraceLog::enabled());
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\run_00.txt");
    EXPECT_EQ(counter(), 1);
    EXPECT_EQ(readFile(tempFile("run_00.txt")), kHeader);
}

TEST_F(TraceLogOpen, BasePathEndsAtTheFirstCarriageReturnOrLineFeed) {
    writeKey("c:\\temp\\a\r\nc:\\temp\\second");
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\a_00.txt");
    writeKey("c:\\temp\\b\n\rrest");
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\b_01.txt");
    writeKey("c:\\temp\\c\rx\ny");
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\c_02.txt");
    EXPECT_TRUE(fs::exists(tempFile("c_02.txt")));
}

TEST_F(TraceLogOpen, OnlyTheFirst500BytesOfTheKeyCount) {
    // Four directory levels, then a long last component: byte 500 falls
    // inside it, so the cut name still lies in an existing directory.
    std::string base = "c:\\temp\\";
    fs::path directory = root_ / "c" / "temp";
    for (char letter : std::string("wxyz")) {
        std::string level(100, letter);
        base += level + "\\";
        directory /= level;
    }
    fs::create_directories(directory);
    base += std::string(200, 'f');
    writeKey(base + "\nnext line");

    TraceLog::open();
    std::string cut = base.substr(0, 500);
    EXPECT_EQ(std::string(TraceLog::fileName()), cut + "_00.txt");
    EXPECT_TRUE(TraceLog::enabled());
    EXPECT_EQ(readFile(directory / (std::string(88, 'f') + "_00.txt")), kHeader);
}

TEST_F(TraceLogOpen, KeyStartingWithLineEndTracesIntoTheCurrentDirectory) {
    writeKey("\nc:\\temp\\ignored");
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "_00.txt");
    EXPECT_TRUE(TraceLog::enabled());
    EXPECT_EQ(readFile(root_ / "c" / "_00.txt"), kHeader);
}

TEST_F(TraceLogOpen, NamesThatClimbOrLackADriveStayOnTheSimulatedDrives) {
    // Whatever the key file says, the trace is written below the machine's root.
    writeKey("c:\\temp\\..\\..\\..\\temp\\up");
    TraceLog::open();
    EXPECT_EQ(readFile(tempFile("up_00.txt")), kHeader);
    TraceLog::disable();
    writeKey("/../../temp/slash");
    TraceLog::open();
    EXPECT_EQ(readFile(tempFile("slash_01.txt")), kHeader);
}

TEST_F(TraceLogOpen, MissingDirectoryLeavesTracingOffButAdvancesTheCounter) {
    writeKey("c:\\temp\\nowhere\\run\n");
    TraceLog::open();
    EXPECT_FALSE(TraceLog::enabled());
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\nowhere\\run_00.txt");
    EXPECT_EQ(counter(), 1);
    TraceLog::writeLine("lost");
    EXPECT_FALSE(fs::exists(tempFile("nowhere")));
}

TEST_F(TraceLogOpen, ElevenOpensRotateThroughTenFilesAndTruncateTheFirst) {
    writeKey("c:\\temp\\rot\r\n");
    for (int run = 0; run <= 10; ++run) {
        TraceLog::open();
        TraceLog::writeLine(("run " + std::to_string(run)).c_str());
    }
    EXPECT_EQ(counter(), 1);
    for (int number = 1; number <= 9; ++number) {
        std::string name = "rot_0" + std::to_string(number) + ".txt";
        EXPECT_EQ(readFile(tempFile(name)), std::string(kHeader) + "run " + std::to_string(number) + "\n") << name;
    }
    EXPECT_EQ(readFile(tempFile("rot_00.txt")), std::string(kHeader) + "run 10\n");
    EXPECT_FALSE(fs::exists(tempFile("rot_10.txt")));
}

TEST_F(TraceLogOpen, CounterOutsideItsRangeStartsAgainAtZero) {
    writeKey("c:\\temp\\odd");
    platform::traceWords()->fileCounter = 12345;
    TraceLog::open();
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\odd_00.txt");
    EXPECT_EQ(counter(), 1);
}

using TraceLogWrite = TraceFixture;

TEST_F(TraceLogWrite, LinesAppendInOrderAndNullTextIsSkipped) {
    writeKey("c:\\temp\\lines");
    TraceLog::open();
    TraceLog::writeLine("CDL01");
    TraceLog::writeLine("");
    TraceLog::writeLine(nullptr);
    TraceLog::writeFormatted("INT:%d", -3);
    EXPECT_EQ(readFile(tempFile("lines_00.txt")), std::string(kHeader) + "CDL01\n\nINT:-3\n");
}

TEST_F(TraceLogWrite, DisableStopsWritingAndKeepsTheFileName) {
    writeKey("c:\\temp\\off");
    TraceLog::open();
    TraceLog::disable();
    TraceLog::writeLine("after disable");
    EXPECT_FALSE(TraceLog::enabled());
    EXPECT_STREQ(TraceLog::fileName(), "c:\\temp\\off_00.txt");
    EXPECT_EQ(readFile(tempFile("off_00.txt")), kHeader);
}

TEST_F(TraceLogWrite, AProcessWithoutKeyWritesToNullWhileAnotherHoldsTracingOn) {
    TraceLog::open();                      // no key: this process's name is "null"
    platform::traceWords()->enabled = 1;  // another process opened a trace
    TraceLog::writeLine("U07!");
    EXPECT_EQ(readFile(root_ / "c" / "null"), "U07!\n");
}

TEST_F(TraceLogWrite, AFailedAppendLosesOnlyThatLine) {
    writeKey("c:\\temp\\gap");
    TraceLog::open();
    sim::failNthCall("fopen", 1, 5);
    TraceLog::writeLine("lost");
    TraceLog::writeLine("kept");
    EXPECT_TRUE(TraceLog::enabled());
    EXPECT_EQ(readFile(tempFile("gap_00.txt")), std::string(kHeader) + "kept\n");
}
