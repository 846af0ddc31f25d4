// A walk with the debug trace on writes its steps and finds exactly what an
// untraced walk finds.
#include "devlist/list_entries.h"
#include "enum/walk_state.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"
#include "trace_fixture.h"
#include "walk_fixture.h"

using namespace testsupport;

namespace {

class TracedWalk : public TraceFixture {
protected:
    std::vector<WalkedDevice> walkAll() {
        DeviceFilter all{0xFFFF, nullptr};
        EnumerationResult* result = enumerateUsbTree(&all);
        std::vector<WalkedDevice> devices;
        if (result == nullptr) return devices;
        for (const DeviceEntry* e = result->firstEntry; e != nullptr; e = e->next) {
            WalkedDevice d = describeWalked(*e);
            d.sequenceNumber = 0;  // drawn anew by every walk
            devices.push_back(d);
        }
        releaseWalkResult(result);
        releaseWalkState();
        return devices;
    }
};

std::string joined(const std::vector<WalkedDevice>& devices) {
    std::string text;
    for (const WalkedDevice& d : devices)
        text += d.manufacturer + "|" + d.product + "|" + d.serial + "|" + d.devicePath + "|" + d.hidPath + "|" +
                std::to_string(d.driverSupported) + "\n";
    return text;
}

}  // namespace

TEST_F(TracedWalk, TraceRecordsTheStepsAndChangesNothing) {
    sim::installDefaultBench();
    releaseWalkState();
    sim::Counts before = sim::openCounts();
    std::vector<WalkedDevice> untraced = walkAll();

    writeKey("c:\\temp\\walk");
    TraceLog::open();
    ASSERT_TRUE(TraceLog::enabled());
    std::vector<WalkedDevice> traced = walkAll();
    TraceLog::disable();

    EXPECT_EQ(joined(traced), joined(untraced));
    EXPECT_EQ(sim::openCounts().heapBlocks, before.heapBlocks);
    EXPECT_EQ(sim::openCounts().crtBlocks, before.crtBlocks);
    std::string trace = readFile(tempFile("walk_00.txt"));
    for (const char* step : {"Ea01", "Eb01", "GetRHN00", "Eh01", "Ehp01", "getHIDPath 00", "Ehp58", "Ehp59",
                             "WinUSB", "info->UsbDeviceProperties->Service==null", "Ea19"})
        EXPECT_NE(trace.find(step), std::string::npos) << step;
}

// Every line goes to the trace file by an append, which sets the last
// error, so a failure's error is read before its tag is written.
TEST_F(TracedWalk, AFailedRequestIsTracedWithItsOwnError) {
    sim::installDefaultBench();
    sim::withMachine([](sim::Machine& machine) {
        machine.controllers[0].rootHubNameAnswer.failWith = 31;  // ERROR_GEN_FAILURE
        machine.controllers[1].rootHub.nodeInfoError = 87;       // ERROR_INVALID_PARAMETER
    });
    releaseWalkState();
    writeKey("c:\\temp\\walk");
    TraceLog::open();
    walkAll();
    TraceLog::disable();

    std::string trace = readFile(tempFile("walk_00.txt"));
    EXPECT_NE(trace.find("GetRHN01!\nULND:31\n"), std::string::npos);
    EXPECT_NE(trace.find("Eh13!\nULND:87\n"), std::string::npos);
}
