// With tracing off, a list operation touches the file system only to try
// the key file (which is absent) and, for the walk, the configuration file
// beside the library (absent too): two failed opens and nothing else.
// Counted through the call journal, over the built-in bench.
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "base/status_code.h"
#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "platform/sim/control/sim_control.h"
#include "trace_fixture.h"

using namespace testsupport;

namespace {

const std::vector<std::string> kFileOperations = {"fopen", "fread", "fgets", "fputs", "fflush", "fclose"};

// The file operations the journal holds, as "operation arguments".
std::vector<std::string> fileCalls() {
    std::vector<std::string> calls;
    for (const sim::JournalRecord& record : sim::journal())
        for (const std::string& operation : kFileOperations)
            if (record.operation == operation) calls.push_back(record.operation + " " + record.arguments);
    return calls;
}

class ListFileAccess : public TraceFixture {
protected:
    void SetUp() override {
        TraceFixture::SetUp();
        savedModule_ = sim::modulePath();
        sim::setModulePath("c:\\lib\\Tamberlyx.dll");
        releaseWalkState();
        sim::installDefaultBench();
    }
    void TearDown() override {
        sim::stopJournal();
        releaseWalkState();
        sim::setModulePath(savedModule_);
        TraceFixture::TearDown();
    }

private:
    std::string savedModule_;
};

}  // namespace

TEST_F(ListFileAccess, CreateAndUpdateEachOnlyTryTheKeyAndConfigurationFiles) {
    const std::vector<std::string> twoFailedOpens = {"fopen c:\\temp\\tolvwinusbdebug.key r",
                                                     "fopen c:\\lib\\Tamberlyx.cfg r"};

    sim::startJournal();
    int32_t listId = DeviceListRegistry::create(0xFFFF);
    sim::stopJournal();
    ASSERT_GE(listId, 0);
    EXPECT_EQ(fileCalls(), twoFailedOpens);
    EXPECT_EQ(platform::traceWords()->enabled, 0);

    sim::startJournal();
    EXPECT_EQ(DeviceListRegistry::update(listId), 0);
    sim::stopJournal();
    EXPECT_EQ(fileCalls(), twoFailedOpens);

    EXPECT_EQ(DeviceListRegistry::release(listId), 0);
    EXPECT_EQ(TraceLog::fileName(), std::string("null"));
}

namespace {

// A list operation's step tag: CDL or U, two digits, and "!" at a failure point.
bool isListStepTag(std::string line) {
    const size_t prefix = line.rfind("CDL", 0) == 0 ? 3 : line.rfind("U", 0) == 0 ? 1 : 0;
    if (prefix == 0) return false;
    if (line.back() == '!') line.pop_back();
    return line.size() == prefix + 2 && isdigit(static_cast<unsigned char>(line[prefix])) &&
           isdigit(static_cast<unsigned char>(line[prefix + 1]));
}

// The list operation's own lines of a trace file: its step tags, and the
// number written just before its closing tag.
std::vector<std::string> listSteps(const std::string& trace) {
    std::vector<std::string> steps;
    std::istringstream lines(trace);
    std::string line, previous;
    for (; std::getline(lines, line); previous = line) {
        const bool tag = isListStepTag(line);
        if (tag || previous == "CDL16" || previous == "U18") steps.push_back(line);
    }
    return steps;
}

std::vector<std::string> repeated(std::vector<std::string> steps, const std::vector<std::string>& each, int times) {
    for (int i = 0; i < times; ++i) steps.insert(steps.end(), each.begin(), each.end());
    return steps;
}

}  // namespace

TEST_F(ListFileAccess, TracedOperationsWriteTheirStepsAndSwitchTheTraceOff) {
    writeKey("c:\\temp\\lists");
    const int32_t listId = DeviceListRegistry::create(0xFFFF);
    ASSERT_GE(listId, 0);
    EXPECT_EQ(platform::traceWords()->enabled, 0);
    int devices = 0;
    while (DeviceListRegistry::entryAt(listId, devices) != nullptr) ++devices;
    ASSERT_GT(devices, 0);

    std::vector<std::string> created =
        repeated({"CDL01", "CDL04", "CDL05", "CDL06", "CDL07", "CDL08", "CDL09"}, {"CDL10", "CDL11", "CDL12"}, devices);
    created.insert(created.end(), {"CDL13", "CDL14", "CDL15", "CDL16", "INT:" + std::to_string(listId), "CDL17"});
    EXPECT_EQ(listSteps(readFile(tempFile("lists_00.txt"))), created);

    EXPECT_EQ(DeviceListRegistry::create(-1), listId);
    EXPECT_EQ(listSteps(readFile(tempFile("lists_01.txt"))),
              (std::vector<std::string>{"CDL01", "CDL02", "CDL03", "CDL16", "INT:" + std::to_string(listId), "CDL17"}));

    EXPECT_EQ(DeviceListRegistry::update(listId), 0);
    EXPECT_EQ(platform::traceWords()->enabled, 0);
    std::vector<std::string> updated =
        repeated({"U01", "U03", "U05", "U06", "U07", "U08", "U09"}, {"U10", "U11", "U12"}, devices);
    updated.insert(updated.end(), {"U15", "U16", "U17", "U18", "INT:0", "U19"});
    EXPECT_EQ(listSteps(readFile(tempFile("lists_02.txt"))), updated);

    EXPECT_EQ(DeviceListRegistry::update(listId + 1), ListNotFound);
    EXPECT_EQ(listSteps(readFile(tempFile("lists_03.txt"))),
              (std::vector<std::string>{"U01", "U03", "U04!", "U18", "INT:-103", "U19"}));
    EXPECT_EQ(platform::traceWords()->enabled, 0);
    EXPECT_EQ(counter(), 4);

    EXPECT_EQ(DeviceListRegistry::release(listId), 0);
}
