// Where the monitor finds the companion program, and how entry 0 of its
// argument vector is spelled.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "monitor/companion.h"
#include "monitor/companion_path.h"
#include "platform/sim/control/sim_control.h"
#include "platform/types.h"

using namespace DeviceChangeMonitor;

namespace {

// The companion beside a module path, or "<none>" when it does not fit.
std::string besideModule(const std::string& modulePath, size_t outSize = 512) {
    std::string out(outSize + 8, '#');
    if (!companionPathBeside(modulePath.c_str(), modulePath.size(), &out[0], outSize)) return "<none>";
    EXPECT_EQ(out[outSize + 7], '#');  // nothing beyond the buffer
    return out.c_str();
}

std::string argumentFor(const std::string& path, size_t outSize = 514) {
    std::string out(outSize + 8, '#');
    if (!programArgument(path.c_str(), &out[0], outSize)) return "<none>";
    return out.c_str();
}

}  // namespace

TEST(CompanionPath, IsCutAfterTheLastSeparatorOfTheModulePath) {
    EXPECT_EQ(besideModule("C:\\x\\Tamberlyx.dll"), "C:\\x\\tolvwinusbdevice64.exe");
    EXPECT_EQ(besideModule("C:\\a\\b/Tamberlyx.dll"), "C:\\a\\b/tolvwinusbdevice64.exe");
    EXPECT_EQ(besideModule("/opt/lib/libTamberlyx.so"), "/opt/lib/tolvwinusbdevice64.exe");
    EXPECT_EQ(besideModule("D:Tamberlyx.dll"), "D:tolvwinusbdevice64.exe");
    EXPECT_EQ(besideModule("C:\\x\\"), "C:\\x\\tolvwinusbdevice64.exe");
}

TEST(CompanionPath, IsTheBareNameWithoutASeparatorPastTheFirstCharacter) {
    EXPECT_EQ(besideModule("Tamberlyx.dll"), "tolvwinusbdevice64.exe");
    EXPECT_EQ(besideModule(""), "tolvwinusbdevice64.exe");
    // The first character is never taken as the separator.
    EXPECT_EQ(besideModule("\\Tamberlyx.dll"), "tolvwinusbdevice64.exe");
}

TEST(CompanionPath, ADirectoryTooLongForTheBufferIsRefused) {
    // 489 characters of directory plus the 22 of the name and the zero fill
    // 512 exactly; one more does not fit.
    std::string fits = "C:\\" + std::string(485, 'd') + "\\";
    ASSERT_EQ(fits.size(), 489u);
    EXPECT_EQ(besideModule(fits + "Tamberlyx.dll"), fits + "tolvwinusbdevice64.exe");
    EXPECT_EQ(besideModule("C:\\" + std::string(486, 'd') + "\\Tamberlyx.dll"), "<none>");
    EXPECT_EQ(besideModule("C:\\x\\Tamberlyx.dll", 27), "<none>");
    EXPECT_EQ(besideModule("C:\\x\\Tamberlyx.dll", 28), "C:\\x\\tolvwinusbdevice64.exe");
}

TEST(CompanionProgramArgument, IsQuotedOnlyWhenItHoldsABlankOrATab) {
    EXPECT_EQ(argumentFor("C:\\x\\tolvwinusbdevice64.exe"), "C:\\x\\tolvwinusbdevice64.exe");
    EXPECT_EQ(argumentFor("C:\\Program Files\\x\\tolvwinusbdevice64.exe"),
              "\"C:\\Program Files\\x\\tolvwinusbdevice64.exe\"");
    EXPECT_EQ(argumentFor("C:\\a\tb\\tolvwinusbdevice64.exe"), "\"C:\\a\tb\\tolvwinusbdevice64.exe\"");
    EXPECT_EQ(argumentFor("a b", 5), "<none>");
    EXPECT_EQ(argumentFor("a b", 6), "\"a b\"");
    // The longest companion path still fits its entry with the quotes.
    std::string longest = "C:\\" + std::string(481, 'd') + " dir\\tolvwinusbdevice64.exe";
    ASSERT_EQ(longest.size(), 511u);
    EXPECT_EQ(argumentFor(longest), "\"" + longest + "\"");
}

class CompanionBesideLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        useDefaultCompanion(command);
    }
    void TearDown() override {
        sim::clearFaults();
        sim::setModulePath("");
    }
    CompanionCommand command;
};

TEST_F(CompanionBesideLibrary, KeepsItsActionPlaceWhenTheDirectoryHoldsABlank) {
    sim::setModulePath("C:\\Program Files\\Vendor App\\Tamberlyx.dll");
    locateCompanionBesideLibrary(command);
    EXPECT_STREQ(command.path, "C:\\Program Files\\Vendor App\\tolvwinusbdevice64.exe");
    EXPECT_STREQ(command.program, "\"C:\\Program Files\\Vendor App\\tolvwinusbdevice64.exe\"");
}

TEST_F(CompanionBesideLibrary, KeepsTheDefaultWhenTheLibraryCannotBeFound) {
    sim::setModulePath("C:\\x\\Tamberlyx.dll");
    sim::failNthCall("GetModuleHandleA", 1, platform::kErrorModNotFound);
    locateCompanionBesideLibrary(command);
    EXPECT_STREQ(command.path, "C:\\etc\\.kestra_ide\\tolvwinusbdevice64.exe");
    EXPECT_STREQ(command.program, "C:\\etc\\.kestra_ide\\tolvwinusbdevice64");

    sim::clearFaults();
    sim::failNthCall("GetModuleFileNameA", 1, platform::kErrorInsufficientBuffer);
    locateCompanionBesideLibrary(command);
    EXPECT_STREQ(command.path, "C:\\etc\\.kestra_ide\\tolvwinusbdevice64.exe");
}

TEST_F(CompanionBesideLibrary, KeepsTheDefaultForADirectoryTooLong) {
    // A directory part too long for the companion's name.
    sim::setModulePath("C:\\" + std::string(487, 'd') + "\\x.dll");
    locateCompanionBesideLibrary(command);
    EXPECT_STREQ(command.path, "C:\\etc\\.kestra_ide\\tolvwinusbdevice64.exe");
    // A path the system has to cut short: its cut text must not be used.
    sim::setModulePath("C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'e') + "\\Tamberlyx.dll");
    locateCompanionBesideLibrary(command);
    EXPECT_STREQ(command.path, "C:\\etc\\.kestra_ide\\tolvwinusbdevice64.exe");
    EXPECT_STREQ(command.program, "C:\\etc\\.kestra_ide\\tolvwinusbdevice64");
}
