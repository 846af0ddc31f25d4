// The DLL's trace log on a Windows file system (the Wine prefix's drive
// C:): the key file, header lines in text mode, rotation of the ten file
// numbers, a missing directory, and the counter shared by two processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "child_tasks.h"
#include "fake_jvm.h"
#include "tamberlyx_dll.h"

namespace {

namespace fs = std::filesystem;

const fs::path kKeyFile = "C:\\temp\\tolvwinusbdebug.key";
const fs::path kTraceDirectory = "C:\\temp\\tamberlyx-trace";
const std::string kTraceBase = "C:\\temp\\tamberlyx-trace\\run";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> traceFiles() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& file : fs::directory_iterator(kTraceDirectory, error))
        names.push_back(file.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class TraceLogDllTest : public testing::Test {
protected:
    void SetUp() override {
        std::string problem;
        dll = tamberlyx(&problem);
        ASSERT_NE(dll, nullptr) << problem;
        env = jvm.env();
        handle = dll->usbInitialize(env, nullptr);
        if (handle == -115) handle = 0;
        ASSERT_EQ(handle, 0);
        fs::create_directories(kTraceDirectory);
        clearTraceFiles();
        writeBytes(kKeyFile, kTraceBase + "\n");
    }

    void TearDown() override {
        std::error_code error;
        fs::remove(kKeyFile, error);
        fs::remove_all(kTraceDirectory, error);
    }

    void clearTraceFiles() {
        for (const std::string& name : traceFiles()) fs::remove(kTraceDirectory / name);
    }

    jint createList() { return dll->usbCreateDeviceList(env, nullptr, handle, 0xFFFF); }

    // One list operation on a clean directory: the number of the one trace
    // file it made, or -1.
    int nextTraceNumber() {
        clearTraceFiles();
        EXPECT_GE(createList(), 0);
        std::vector<std::string> files = traceFiles();
        EXPECT_EQ(files.size(), 1u);
        if (files.size() != 1 || files[0].size() != 10 || files[0].compare(0, 4, "run_") != 0) return -1;
        return std::stoi(files[0].substr(4, 2));
    }

    static std::string fileName(int number) {
        return std::string("run_") + static_cast<char>('0' + number / 10) + static_cast<char>('0' + number % 10) +
               ".txt";
    }

    TamberlyxDll* dll = nullptr;
    FakeJvm jvm;
    JNIEnv* env = nullptr;
    jint handle = -1;
};

TEST_F(TraceLogDllTest, ListCreationStartsAFileWithTheHeaderLines) {
    int number = nextTraceNumber();
    ASSERT_GE(number, 0);
    std::string text = readBytes(kTraceDirectory / fileName(number));
    // Text mode: every line ends in CR LF on disk.
    const std::string rule(32, '=');
    ASSERT_EQ(text.compare(0, rule.size() + 2, rule + "\r\n"), 0) << text;
    size_t tickEnd = text.find(" \r\n", rule.size() + 2);
    ASSERT_NE(tickEnd, std::string::npos) << text;
    std::string ticks = text.substr(rule.size() + 2, tickEnd - rule.size() - 2);
    EXPECT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.find_first_not_of("0123456789"), std::string::npos) << ticks;
}

TEST_F(TraceLogDllTest, TenFileNumbersRotateAndTheEleventhTruncatesTheFirst) {
    int first = nextTraceNumber();
    ASSERT_GE(first, 0);
    int previous = first;
    for (int i = 1; i < 10; ++i) {
        int number = nextTraceNumber();
        ASSERT_EQ(number, (previous + 1) % 10);
        previous = number;
    }
    clearTraceFiles();
    writeBytes(kTraceDirectory / fileName(first), "left over from an earlier trace\r\n");
    ASSERT_GE(createList(), 0);
    std::string reused = readBytes(kTraceDirectory / fileName(first));
    EXPECT_EQ(reused.compare(0, 32, std::string(32, '=')), 0) << reused;
    EXPECT_EQ(reused.find("left over"), std::string::npos);
}

TEST_F(TraceLogDllTest, MissingDirectoryOrKeyFileLeavesTracingOff) {
    int first = nextTraceNumber();
    ASSERT_GE(first, 0);

    // A directory that does not exist: no file, but the number is used up.
    writeBytes(kKeyFile, "C:\\temp\\tamberlyx-no-such-directory\\run\n");
    clearTraceFiles();
    EXPECT_GE(createList(), 0);
    EXPECT_TRUE(traceFiles().empty());
    EXPECT_FALSE(fs::exists("C:\\temp\\tamberlyx-no-such-directory"));
    writeBytes(kKeyFile, kTraceBase + "\n");
    int afterMissingDirectory = nextTraceNumber();
    EXPECT_EQ(afterMissingDirectory, (first + 2) % 10);

    // No key file: no file, and the number is not used up.
    fs::remove(kKeyFile);
    clearTraceFiles();
    EXPECT_GE(createList(), 0);
    EXPECT_TRUE(traceFiles().empty());
    writeBytes(kKeyFile, kTraceBase + "\n");
    EXPECT_EQ(nextTraceNumber(), (afterMissingDirectory + 1) % 10);
}

TEST_F(TraceLogDllTest, TwoProcessesHoldingTheDllShareOneFileCounter) {
    int first = nextTraceNumber();
    ASSERT_GE(first, 0);
    // A child with words of its own would start at 00: keep clear of it.
    if (first == 9) first = nextTraceNumber();
    clearTraceFiles();
    // The child loads the DLL while this process holds it, and takes the
    // next number.
    ASSERT_EQ(runChild({"create-list"}), 0);
    std::vector<std::string> childFiles = traceFiles();
    ASSERT_EQ(childFiles.size(), 1u);
    EXPECT_EQ(childFiles[0], fileName((first + 1) % 10));
    EXPECT_EQ(nextTraceNumber(), (first + 2) % 10);
}

}  // namespace
