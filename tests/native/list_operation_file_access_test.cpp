// With tracing off, a list operation touches the file system only to try
// the key file (which is absent) and, for the walk, the configuration file
// beside the library (absent too): two failed opens and nothing else.
// Counted through the call journal, over the built-in bench.
#include <string>
#include <vector>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "platform/sim/installed_machine.h"
#include "trace_fixture.h"

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
