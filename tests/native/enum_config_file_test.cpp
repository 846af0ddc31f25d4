// The keyword file beside the library: how its lines are read and matched,
// and that an unusable module path leaves the keyword absent.
#include <gtest/gtest.h>

#include <string>

#include "enum/config_file.h"
#include "enum_fixture.h"

namespace {

class ConfigFile : public testsupport::SimulatedMachineTest {
protected:
    int useInfGuidWith(const std::string& content) {
        scratch.write("Tamberlyx.cfg", content);
        return configHasKeyword(kKeywordUseInfGuid);
    }
    testsupport::ScratchModuleDirectory scratch;
};

}  // namespace

TEST_F(ConfigFile, KeywordMatchesInAnyCaseUpToItsLineEnd) {
    EXPECT_EQ(configHasKeyword(kKeywordUseInfGuid), 0);  // no file
    EXPECT_EQ(useInfGuidWith("other\nUseInfGuid\n"), 1);
    EXPECT_EQ(useInfGuidWith("first\r\nuseinfguid\r\n"), 1);
    EXPECT_EQ(useInfGuidWith("something\nuseInfGuid"), 1);  // last line, no line end
    EXPECT_EQ(useInfGuidWith(" useinfguid\n"), 0);
    EXPECT_EQ(useInfGuidWith("useinfguid \n"), 0);
}

TEST_F(ConfigFile, LongLinesArriveInPiecesOfAtMost119Characters) {
    EXPECT_EQ(useInfGuidWith(std::string(300, 'z') + "\nuseinfguid\n"), 1);
    EXPECT_EQ(useInfGuidWith(std::string(119, 'z') + "useinfguid\n"), 1);  // the second piece
    EXPECT_EQ(useInfGuidWith(std::string(118, 'z') + "useinfguid\n"), 0);
}

TEST_F(ConfigFile, UnusableModulePathLeavesTheKeywordAbsent) {
    scratch.write("Tamberlyx.cfg", "useinfguid\n");
    EXPECT_EQ(configHasKeyword(kKeywordUseInfGuid), 1);
    sim::failNthCall("GetModuleHandleA", 1, platform::kErrorModNotFound);
    EXPECT_EQ(configHasKeyword(kKeywordUseInfGuid), 0);
    sim::setModulePath("c:\\lib\\Tamberlyx");  // no "." to replace from
    EXPECT_EQ(configHasKeyword(kKeywordUseInfGuid), 0);
    // Longer than the 260-character buffer: the path comes back cut.
    sim::setModulePath("c:\\lib\\" + std::string(300, 'd') + "\\Tamberlyx.dll");
    EXPECT_EQ(configHasKeyword(kKeywordUseInfGuid), 0);
}
