// The keyword file beside the library: how its lines are read and matched,
// and that an unusable module path leaves the keyword absent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "enum/config_file.h"
#include "platform/types.h"
#include "platform/sim/faults.h"
#include "platform/sim/sim.h"

namespace {

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        savedRoot = sim::driveRoot();
        savedModule = sim::modulePath();
        char pattern[] = "/tmp/tamberlyx-config-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        sim::setDriveRoot(root);
        ASSERT_EQ(std::system(("mkdir -p " + root + "/c/lib").c_str()), 0);
        sim::setModulePath("c:\\lib\\Tamberlyx.dll");
        before = sim::openCounts();
    }
    void TearDown() override {
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
        sim::clearFaults();
        sim::setDriveRoot(savedRoot);
        sim::setModulePath(savedModule);
        std::system(("rm -rf " + root).c_str());
    }
    void writeConfig(const std::string& content, const std::string& name = "Tamberlyx.cfg") {
        std::ofstream(root + "/c/lib/" + name, std::ios::binary) << content;
    }
    int useInfGuid() { return configHasKeyword(kKeywordUseInfGuid); }

    std::string root, savedRoot, savedModule;
    sim::Counts before;
};

}  // namespace

TEST_F(ConfigFile, AbsentFileMeansNoKeyword) { EXPECT_EQ(useInfGuid(), 0); }

TEST_F(ConfigFile, KeywordMatchesWhateverTheCaseOfItsLettersAndItsLineEnd) {
    writeConfig("other\nUseInfGuid\n");
    EXPECT_EQ(useInfGuid(), 1);
    writeConfig("first line\r\nuseinfguid\r\n");
    EXPECT_EQ(useInfGuid(), 1);
    writeConfig("something\nUSEINFGUID");  // last line, no line end
    EXPECT_EQ(useInfGuid(), 1);
}

TEST_F(ConfigFile, BlanksAroundTheKeywordAreNotTrimmed) {
    writeConfig(" useinfguid\n");
    EXPECT_EQ(useInfGuid(), 0);
    writeConfig("useinfguid \n");
    EXPECT_EQ(useInfGuid(), 0);
    writeConfig("useinfguid2\n#useinfguid\n");
    EXPECT_EQ(useInfGuid(), 0);
}

TEST_F(ConfigFile, LongLinesArriveInPiecesOfAtMost119Characters) {
    writeConfig(std::string(300, 'z') + "\nuseinfguid\n");
    EXPECT_EQ(useInfGuid(), 1);
    // The piece after the first 119 characters counts as a line of its own.
    writeConfig(std::string(119, 'z') + "useinfguid\n");
    EXPECT_EQ(useInfGuid(), 1);
    writeConfig(std::string(118, 'z') + "useinfguid\n");
    EXPECT_EQ(useInfGuid(), 0);
}

TEST_F(ConfigFile, FileIsNamedAfterTheModuleAndReadAnewEachTime) {
    sim::setModulePath("c:\\lib\\v1.2\\Tamberlyx.library.dll");
    ASSERT_EQ(std::system(("mkdir -p '" + root + "/c/lib/v1.2'").c_str()), 0);
    writeConfig("useinfguid\n", "v1.2/Tamberlyx.library.cfg");
    EXPECT_EQ(useInfGuid(), 1);
    writeConfig("\n", "v1.2/Tamberlyx.library.cfg");
    EXPECT_EQ(useInfGuid(), 0);
}

TEST_F(ConfigFile, UnusableModulePathLeavesTheKeywordAbsent) {
    writeConfig("useinfguid\n");
    sim::failNthCall("GetModuleHandleA", 1, platform::kErrorModNotFound);
    EXPECT_EQ(useInfGuid(), 0);
    sim::failNthCall("GetModuleFileNameA", 1, platform::kErrorInsufficientBuffer);
    EXPECT_EQ(useInfGuid(), 0);

    // No "." anywhere in the path: nothing to replace.
    sim::setModulePath("c:\\lib\\Tamberlyx");
    EXPECT_EQ(useInfGuid(), 0);

    // A path longer than the 260-character buffer comes back cut.
    sim::setModulePath("c:\\lib\\" + std::string(300, 'd') + "\\Tamberlyx.dll");
    EXPECT_EQ(useInfGuid(), 0);
}

TEST_F(ConfigFile, ReadFailureClosesTheFile) {
    writeConfig("useinfguid\n");
    sim::failNthCall("fgets", 1, platform::kErrorGenFailure);
    EXPECT_EQ(useInfGuid(), 0);
}
