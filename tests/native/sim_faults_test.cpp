// Fault rules, the call journal and the accounting of the simulated
// machine, as the library's tests will lean on them.
#include <gtest/gtest.h>

#include "platform/setupapi.h"
#include "sim_fixture.h"

using namespace testsupport;

namespace {

class FaultsAndAccounting : public ::testing::Test {
protected:
    void SetUp() override {
        machine = sim::MachineBuilder()
                      .controller(sim::ControllerBuilder().rootHub(
                          sim::HubBuilder(3).device(2, sim::DeviceBuilder(0x1111, 0x0001).winUsb())))
                      .build();
        sim::installMachine(machine);
        sim::clearFaults();
    }
    void TearDown() override {
        sim::clearFaults();
        sim::stopJournal();
    }

    Answer nodeInfo(platform::Handle hub) {
        return request(hub, platform::kIoctlUsbGetNodeInformation, std::vector<uint8_t>(76, 0));
    }

    sim::Machine machine;
};

TEST_F(FaultsAndAccounting, TheNthCallFailsAndNoOther) {
    platform::Handle hub = openHub(machine.controllers[0].rootHub);
    sim::failNthCall("DeviceIoControl", 3, platform::kErrorGenFailure);
    EXPECT_TRUE(nodeInfo(hub).ok);
    EXPECT_TRUE(nodeInfo(hub).ok);
    Answer third = nodeInfo(hub);
    EXPECT_FALSE(third.ok);
    EXPECT_EQ(third.error, platform::kErrorGenFailure);
    EXPECT_TRUE(nodeInfo(hub).ok);
    EXPECT_EQ(sim::faultsHit(), 1u);
    platform::CloseHandle(hub);

    // Other operations do not count towards the rule.
    sim::failNthCall("SetupDiEnumDeviceInfo", 2, platform::kErrorNotEnoughMemory);
    platform::DevInfoSet set = platform::SetupDiGetClassDevsW(&platform::kGuidDevinterfaceUsbHub, nullptr, nullptr, 0x12);
    platform::SpDevinfoData d{};
    d.cbSize = 32;
    EXPECT_TRUE(platform::SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNotEnoughMemory);
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 1, &d));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoMoreItems);
    platform::SetupDiDestroyDeviceInfoList(set);

    // A failed open hands out no handle.
    sim::Counts before = sim::openCounts();
    sim::failNthCall("CreateFileA", 1, platform::kErrorAccessDenied);
    EXPECT_FALSE(platform::isValidHandle(openHub(machine.controllers[0].rootHub)));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorAccessDenied);
    EXPECT_EQ(sim::openCounts(), before);
}

TEST_F(FaultsAndAccounting, TheJournalNamesEachRequestAndPort) {
    platform::Handle hub = openHub(machine.controllers[0].rootHub);
    sim::startJournal();
    std::vector<uint8_t> buffer(365, 0);
    buffer[0] = 2;
    request(hub, platform::kIoctlUsbGetNodeConnectionInformationEx, buffer);
    nodeInfo(hub);
    sim::stopJournal();
    platform::CloseHandle(hub);
    std::vector<sim::JournalRecord> records = sim::journal();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].operation, "DeviceIoControl");
    EXPECT_EQ(records[0].arguments, "GET_NODE_CONNECTION_INFORMATION_EX port=2 in=365 out=365");
    EXPECT_EQ(records[1].arguments, "GET_NODE_INFORMATION in=76 out=76");
}

TEST_F(FaultsAndAccounting, AccountingSeesALeakedHandleOrSet) {
    sim::Counts before = sim::openCounts();
    platform::Handle hub = openHub(machine.controllers[0].rootHub);
    platform::DevInfoSet set = platform::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, 6);
    sim::Counts during = sim::openCounts();
    EXPECT_EQ(during.handles, before.handles + 1);
    EXPECT_EQ(during.deviceInfoSets, before.deviceInfoSets + 1);
    EXPECT_NE(during, before);
    platform::CloseHandle(hub);
    platform::SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(sim::openCounts(), before);
    // Closing twice is refused and counts nothing.
    EXPECT_FALSE(platform::CloseHandle(hub));
    EXPECT_EQ(sim::openCounts(), before);
}

}  // namespace
