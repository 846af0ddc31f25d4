// A fresh simulated drive for each trace test: its own root directory (its
// drive c is the current directory, where relative trace names land), a fixed tick
// count, the shared words at known values, and a check that every stream
// the trace opened was closed again.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/shared_words.h"
#include "platform/sim/control/sim_control.h"
#include "trace/trace_log.h"

namespace testsupport {

class TraceFixture : public testing::Test {
protected:
    static constexpr uint32_t kTicks = 4242;
    static constexpr const char* kHeader = "================================\n4242 \n";

    void SetUp() override {
        static std::atomic<int> made{0};
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() /
                ("tamberlyx-trace-" + std::to_string(random()) + "-" + std::to_string(made++));
        std::filesystem::create_directories(root_ / "c" / "temp");
        previousDirectory_ = std::filesystem::current_path();
        std::filesystem::current_path(root_);
        previousDriveRoot_ = sim::driveRoot();
        sim::setDriveRoot(root_.string());
        sim::fixTickCount(kTicks);
        sim::clearFaults();
        platform::traceWords()->fileCounter = 0;
        platform::traceWords()->enabled = 0;
        TraceLog::open();  // no key in the fresh root: the name is "null" again
        before_ = sim::openCounts();
    }

    void TearDown() override {
        EXPECT_EQ(sim::openCounts().crtFiles, before_.crtFiles) << "a trace stream was left open";
        platform::traceWords()->enabled = 0;
        sim::clearFaults();
        sim::unfixTickCount();
        sim::setDriveRoot(previousDriveRoot_);
        std::filesystem::current_path(previousDirectory_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // The host file behind "c:\temp\<name>".
    std::filesystem::path tempFile(const std::string& name) const { return root_ / "c" / "temp" / name; }

    void writeKey(const std::string& contents) const {
        std::ofstream key(tempFile("tolvwinusbdebug.key"), std::ios::binary);
        key << contents;
    }

    static std::string readFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    static int32_t counter() { return platform::traceWords()->fileCounter; }

    std::filesystem::path root_;

private:
    std::filesystem::path previousDirectory_;
    std::string previousDriveRoot_;
    sim::Counts before_;
};

}  // namespace testsupport
