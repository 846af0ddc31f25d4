// Running a companion program and waiting for it, as _spawnv(_P_WAIT) does.
// The simulated machine runs host programs on Linux only.
#include <gtest/gtest.h>

#if defined(__linux__)

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/os/spawn_rules.h"
#include "platform/spawn.h"

namespace {

// A directory with a shell-script companion that records its arguments
// and ends with the code given as its first one... or 3.
class SimulatedSpawn : public ::testing::Test {
protected:
    void SetUp() override {
        directory = ::testing::TempDir() + "spawn-" + std::to_string(::getpid()) + " dir";
        ::mkdir(directory.c_str(), 0755);
        record = directory + "/args.txt";
        script = directory + "/companion";
        std::ofstream out(script);
        out << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << record << "\"\nexit 3\n";
        out.close();
        ::chmod(script.c_str(), 0755);
        // Programs run from beside the library (or from the simulated drives).
        savedModule = sim::modulePath();
        sim::setModulePath(directory + "/libTamberlyx.so");
    }
    void TearDown() override {
        sim::setModulePath(savedModule);
        std::remove(script.c_str());
        std::remove(record.c_str());
        ::rmdir(directory.c_str());
    }
    std::string recorded() {
        std::ifstream in(record);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string directory, record, script, savedModule;
};

}  // namespace

TEST_F(SimulatedSpawn, RunsTheProgramBesideTheExeNameAndReturnsItsExitCode) {
    std::string program = script + ".exe";  // does not exist: the bare name stands in
    const char* argv[] = {"companion", "add", nullptr};
    EXPECT_EQ(platform::spawnAndWait(program.c_str(), argv), 3);
    EXPECT_EQ(recorded(), "add\n");
}

TEST_F(SimulatedSpawn, MissingProgramCannotStart) {
    const char* argv[] = {"x", "remove", nullptr};
    EXPECT_EQ(platform::spawnAndWait((directory + "/absent.exe").c_str(), argv), -1);
    EXPECT_EQ(platform::spawnAndWait(record.c_str(), argv), -1) << "not executable";
}

TEST_F(SimulatedSpawn, ArgumentsAreJoinedWithoutQuotingAndSplitAgain) {
    // The first entry holds a blank: like a Windows child, the companion
    // sees it split in two, which shifts the action.
    std::string first = directory + "/companion";
    const char* argv[] = {first.c_str(), "add", nullptr};
    EXPECT_EQ(platform::spawnAndWait(script.c_str(), argv), 3);
    EXPECT_EQ(recorded(), "dir/companion\nadd\n");

    EXPECT_EQ(sim::splitCommandLine("a \"b c\" d\\\"e \"f\"\"g\" h\\\\\"i j\""),
              (std::vector<std::string>{"a", "b c", "d\"e", "f\"g", "h\\i j"}));
}

TEST_F(SimulatedSpawn, DrivePathsAreMappedIntoTheMachinesDirectory) {
    std::string saved = sim::driveRoot();
    sim::setDriveRoot(directory);
    ::mkdir((directory + "/c").c_str(), 0755);
    std::string mapped = directory + "/c/companion";
    std::rename(script.c_str(), mapped.c_str());
    const char* argv[] = {"c:\\companion", "remove", nullptr};
    EXPECT_EQ(platform::spawnAndWait("c:\\companion.exe", argv), 3);
    EXPECT_EQ(recorded(), "remove\n");
    std::rename(mapped.c_str(), script.c_str());
    ::rmdir((directory + "/c").c_str());
    sim::setDriveRoot(saved);
}

#endif  // __linux__
