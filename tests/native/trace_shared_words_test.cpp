// The trace's flag and file counter are one for the whole machine: a second
// process sees and moves the same words.
#if defined(__linux__)
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "trace_fixture.h"

using namespace testsupport;

extern char** environ;

namespace {

// Starts the helper process; it inherits this program's words by name.
pid_t startHelper(const std::string& driveRoot, int opens, const char* action) {
    std::string opensText = std::to_string(opens);
    std::vector<char*> argv = {const_cast<char*>(TRACE_OPEN_HELPER), const_cast<char*>(driveRoot.c_str()),
                               const_cast<char*>(opensText.c_str()), const_cast<char*>(action), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, TRACE_OPEN_HELPER, nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

using TraceSharedWords = TraceFixture;

TEST_F(TraceSharedWords, AnotherProcessSeesAndMovesTheSameCounterAndFlag) {
    writeKey("c:\\temp\\both");
    platform::traceWords()->fileCounter = 3;
    TraceLog::open();
    ASSERT_STREQ(TraceLog::fileName(), "c:\\temp\\both_03.txt");

    ASSERT_EQ(waitFor(startHelper(root_.string(), 2, "keep")), 0);
    EXPECT_EQ(counter(), 6);
    EXPECT_TRUE(TraceLog::enabled());
    for (const char* name : {"both_04.txt", "both_05.txt"}) {
        std::string text = readFile(tempFile(name));  // the header, with the helper's own tick count
        EXPECT_EQ(text.rfind("================================\n", 0), 0u) << name;
        EXPECT_EQ(text.substr(text.size() - 9), " \nhelper\n") << name;
    }

    // Each process writes to the file its own open named.
    TraceLog::writeLine("parent");
    EXPECT_EQ(readFile(tempFile("both_03.txt")), std::string(kHeader) + "parent\n");

    // Switching off in the other process ends tracing here too.
    ASSERT_EQ(waitFor(startHelper(root_.string(), 1, "disable")), 0);
    EXPECT_FALSE(TraceLog::enabled());
    EXPECT_EQ(counter(), 7);
}
#endif
