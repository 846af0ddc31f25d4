// The running monitor: which device changes run the companion, with which
// action, and that runs are waited for one at a time. The simulated machine
// runs host programs on Linux only.
#if defined(__linux__)
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "monitor/device_change_monitor.h"
#include "monitor_fixture.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "platform/types.h"

using namespace testsupport;

namespace {

class RunningMonitor : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::forgetWindowClasses();
        before = sim::openCounts();
    }
    void TearDown() override {
        if (thread != nullptr) {
            companion->release();
            EXPECT_TRUE(closeMonitor(window, thread));
            platform::CloseHandle(thread);
        }
        if (machineReplaced) sim::installDefaultBench();
        sim::stopJournal();
        sim::clearFaults();
        sim::forgetWindowClasses();
        sim::setModulePath("");
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }
    void start() {
        sim::setModulePath(companion->libraryPath());
        uint32_t id = 0;
        thread = platform::CreateThread(nullptr, 0, &DeviceChangeMonitor::run, nullptr, 0, &id);
        ASSERT_NE(thread, nullptr);
        window = listeningMonitorWindow();
        ASSERT_NE(window, nullptr);
    }
    // Waits until only the notification the held companion's run came from
    // is left.
    static void awaitOnlyTheHeldRun() {
        for (int waited = 0; waited < 5000 && sim::broadcastsWaiting() > 1; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(sim::broadcastsWaiting(), 1u);
    }
    static size_t usbDeviceChange(uint32_t event) {
        return sim::broadcastDeviceInterfaceChange(event, platform::kGuidDevinterfaceUsbDevice,
                                                   "\\\\?\\usb#vid_1234&pid_5678#1#{a5dcbf10}");
    }

    std::unique_ptr<CompanionDirectory> companion = std::make_unique<CompanionDirectory>();
    sim::Counts before;
    platform::Handle thread = nullptr;
    platform::Hwnd window = nullptr;
    bool machineReplaced = false;
};

}  // namespace

TEST_F(RunningMonitor, RunsNothingForOtherEventsOrOtherInterfaces) {
    start();
    sim::startJournal();
    EXPECT_EQ(sim::broadcastDevNodesChanged(), 1u);
    EXPECT_EQ(usbDeviceChange(platform::kDbtDeviceQueryRemove), 1u);
    // Only USB device interfaces are listened to.
    EXPECT_EQ(sim::broadcastDeviceInterfaceChange(platform::kDbtDeviceArrival, platform::kGuidDevinterfaceHid,
                                                  "\\\\?\\hid#vid_1234&pid_5678#1#{4d1e55b2}"),
              0u);
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(sim::journalCount("_spawnv"), 0u);
    EXPECT_EQ(companion->runs(), "");
}

TEST_F(RunningMonitor, RunsTheCompanionWithTheActionOneRunAtATimeInOrder) {
    start();
    usbDeviceChange(platform::kDbtDeviceArrival);
    usbDeviceChange(platform::kDbtDeviceArrival);
    usbDeviceChange(platform::kDbtDeviceRemoveComplete);
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs(), "begin 1 add\nend add\nbegin 1 add\nend add\nbegin 1 remove\nend remove\n");
}

TEST_F(RunningMonitor, ACompanionThatDoesNotEndHoldsBackLaterChanges) {
    start();
    companion->hold();
    usbDeviceChange(platform::kDbtDeviceArrival);
    usbDeviceChange(platform::kDbtDeviceRemoveComplete);
    EXPECT_FALSE(sim::waitForBroadcastsHandled(400));
    EXPECT_EQ(companion->runs(), "begin 1 add\n");
    companion->release();
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs(), "begin 1 add\nend add\nbegin 1 remove\nend remove\n");
}

TEST_F(RunningMonitor, RunsTheCompanionWhenADeviceIsUnpluggedAndPluggedAgain) {
    sim::Device loop = sim::DeviceBuilder(0x1A2B, 0x0001).strings("Maker", "Loop", "SN1").winUsb().build();
    machineReplaced = true;
    sim::installMachine(
        sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(sim::HubBuilder(4).device(1, loop))).build());
    start();
    ASSERT_TRUE(sim::unplugDevice({0, 1}));
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs(), "begin 1 remove\nend remove\n");
    ASSERT_TRUE(sim::plugDevice({0, 3}, loop));
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs(), "begin 1 remove\nend remove\nbegin 1 add\nend add\n");
}

// The system announces volumes and ports to every top-level window without
// any registration, and the monitor does not look at what a broadcast
// names: each of these runs the companion as a USB device's change does.
TEST_F(RunningMonitor, RunsTheCompanionForTheVolumesAndPortsTheSystemAnnounces) {
    start();
    EXPECT_EQ(sim::broadcastVolumeChange(platform::kDbtDeviceArrival, 1u << 4), 1u);
    EXPECT_EQ(sim::broadcastPortChange(platform::kDbtDeviceRemoveComplete, "COM3"), 1u);
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs(), "begin 1 add\nend add\nbegin 1 remove\nend remove\n");

    // A stick brings its volume: its arrival and removal run the companion
    // twice each, for the USB device and for the drive.
    sim::Device stick = sim::DeviceBuilder(0x3E4F, 0x0200).strings("Maker", "Stick", "S1").massStorage().build();
    machineReplaced = true;
    sim::installMachine(
        sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(sim::HubBuilder(4).device(1, stick))).build());
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    std::string before = companion->runs();
    ASSERT_TRUE(sim::unplugDevice({0, 1}));
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    ASSERT_TRUE(sim::plugDevice({0, 1}, stick));
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs().substr(before.size()),
              "begin 1 remove\nend remove\nbegin 1 remove\nend remove\nbegin 1 add\nend add\nbegin 1 add\nend add\n");
}

// Notifications are handed over one at a time. While the companion runs,
// each waits at most the hand-over's time-out and is then withdrawn; once
// the monitor has taken no message for the hung time, the next is skipped
// at once. Times shortened here from 2 s and 5 s; a minute stands for
// never.
TEST_F(RunningMonitor, LosesTheChangesOfATimeWhenTheCompanionRunsLong) {
    start();
    sim::setNotificationTimeOuts(100, 60000);
    companion->hold();
    usbDeviceChange(platform::kDbtDeviceArrival);         // runs, and holds the monitor
    usbDeviceChange(platform::kDbtDeviceRemoveComplete);  // withdrawn
    usbDeviceChange(platform::kDbtDeviceArrival);         // withdrawn
    awaitOnlyTheHeldRun();
    companion->release();
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));

    sim::setNotificationTimeOuts(60000, 250);
    companion->hold();
    sim::broadcastVolumeChange(platform::kDbtDeviceArrival, 1u << 4);  // not handed over: holds the monitor
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    usbDeviceChange(platform::kDbtDeviceRemoveComplete);  // the monitor looks hung: skipped
    awaitOnlyTheHeldRun();
    companion->release();
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    sim::setNotificationTimeOuts(2000, 5000);
    EXPECT_EQ(companion->runs(), "begin 1 add\nend add\nbegin 1 add\nend add\n");
}

TEST_F(RunningMonitor, KeepsTheActionInPlaceWhenTheDirectoryHoldsABlank) {
    // The program entry is quoted, so the child still sees the action as its
    // only argument.
    companion = std::make_unique<CompanionDirectory>("vendor app");
    start();
    sim::startJournal();
    usbDeviceChange(platform::kDbtDeviceRemoveComplete);
    ASSERT_TRUE(sim::waitForBroadcastsHandled(5000));
    EXPECT_EQ(companion->runs(), "begin 1 remove\nend remove\n");
    std::string program = companion->path() + "/tolvwinusbdevice64.exe";
    ASSERT_EQ(sim::journalCount("_spawnv"), 1u);
    for (const auto& record : sim::journal())
        if (record.operation == "_spawnv") {
            EXPECT_EQ(record.arguments, program + " | \"" + program + "\" remove");
        }
}

#endif  // __linux__
