// The monitor's window class, hidden window and notification registration:
// how the monitor starts, when it gives up, and how it closes.
#include <gtest/gtest.h>

#include "monitor/device_change_monitor.h"
#include "monitor_fixture.h"
#include "platform/sim/control/sim_control.h"
#include "platform/types.h"

using namespace testsupport;

namespace {

class MonitorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::forgetWindowClasses();
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::stopJournal();
        sim::clearFaults();
        sim::forgetWindowClasses();
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }
    sim::Counts before;
};

}  // namespace

TEST_F(MonitorWindow, EndsWithoutAWindowWhenClassOrWindowCannotBeMade) {
    sim::failNthCall("RegisterClassExW", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(runMonitorToItsEnd(), DeviceChangeMonitor::kExitNoWindow);

    sim::forgetWindowClasses();
    sim::clearFaults();
    sim::failNthCall("CreateWindowExA", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(runMonitorToItsEnd(), DeviceChangeMonitor::kExitNoWindow);
}

TEST_F(MonitorWindow, EndsQuietlyWhenNotificationsCannotBeRegistered) {
    // The host process goes on: the window is refused and the thread ends.
    sim::failNthCall("RegisterDeviceNotificationW", 1, platform::kErrorNotEnoughMemory);
    sim::startJournal();
    EXPECT_EQ(runMonitorToItsEnd(), DeviceChangeMonitor::kExitNoWindow);
    EXPECT_EQ(sim::journalCount("GetMessageW"), 0u);
    EXPECT_EQ(platform::FindWindowA(DeviceChangeMonitor::kWindowClassName, nullptr), nullptr);
}

TEST_F(MonitorWindow, ASecondMonitorEndsAtClassRegistrationAndTheFirstStays) {
    uint32_t id = 0;
    platform::Handle first = platform::CreateThread(nullptr, 0, &DeviceChangeMonitor::run, nullptr, 0, &id);
    ASSERT_NE(first, nullptr);
    platform::Hwnd window = listeningMonitorWindow();
    ASSERT_NE(window, nullptr);

    sim::startJournal();
    EXPECT_EQ(runMonitorToItsEnd(), DeviceChangeMonitor::kExitNoWindow);
    EXPECT_EQ(sim::journalCount("CreateWindowExA"), 0u);
    EXPECT_EQ(platform::FindWindowA(DeviceChangeMonitor::kWindowClassName, DeviceChangeMonitor::kWindowName), window);
    EXPECT_EQ(sim::liveNotificationRegistrations(), 1u);

    EXPECT_TRUE(closeMonitor(window, first));
    platform::CloseHandle(first);
}

TEST_F(MonitorWindow, ClosingUnregistersDestroysTheWindowAndEndsTheLoop) {
    uint32_t id = 0;
    platform::Handle thread = platform::CreateThread(nullptr, 0, &DeviceChangeMonitor::run, nullptr, 0, &id);
    ASSERT_NE(thread, nullptr);
    platform::Hwnd window = listeningMonitorWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(sim::openCounts().notifications, before.notifications + 1);
    EXPECT_EQ(sim::openCounts().windows, before.windows + 1);

    ASSERT_TRUE(closeMonitor(window, thread));
    platform::CloseHandle(thread);
    EXPECT_EQ(platform::FindWindowA(DeviceChangeMonitor::kWindowClassName, nullptr), nullptr);
    // Changes after the close reach nobody.
    EXPECT_EQ(sim::broadcastDeviceInterfaceChange(platform::kDbtDeviceArrival, platform::kGuidDevinterfaceUsbDevice,
                                                  "\\\\?\\usb#vid_1234&pid_5678#1#{a5dcbf10}"),
              0u);
}
