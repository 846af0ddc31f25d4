// Loading WinUSB at run time, and the initialisation step that also starts
// the device-change monitor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access/winusb_api.h"
#include "base/status_code.h"
#include "jni/exports.h"
#include "monitor/device_change_monitor.h"
#include "monitor_fixture.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"
#include "session/access_handle.h"
#include "session/initialization.h"

using namespace testsupport;

namespace {

class WinUsbInitialisation : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::restoreModules();
        sim::forgetWindowClasses();
        winUsbApi = WinUsbApi{};
        accessHandle = -1;
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::stopJournal();
        sim::clearFaults();
        sim::restoreModules();
        // What a successful initialisation keeps for the life of the
        // process is given back here, so that the next test starts clean.
        if (monitorThread != nullptr) {
            // The monitor either listens by now or has ended.
            platform::Hwnd window = nullptr;
            EXPECT_TRUE(eventually([&] {
                if (platform::WaitForSingleObject(monitorThread, 0) == platform::kWaitObject0) return true;
                window = platform::FindWindowA(DeviceChangeMonitor::kWindowClassName, nullptr);
                return window != nullptr && sim::liveNotificationRegistrations() > 0;
            }));
            EXPECT_TRUE(closeMonitor(window, monitorThread));
            platform::CloseHandle(monitorThread);
            monitorThread = nullptr;
        }
        // Every initialisation's reference.
        for (platform::Module m = winUsbApi.module; m != nullptr && sim::moduleReferences("winusb.dll") > 0;)
            platform::FreeLibrary(m);
        winUsbApi = WinUsbApi{};
        sim::forgetWindowClasses();
        accessHandle = -1;
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }
    static std::vector<std::string> resolvedNames() {
        std::vector<std::string> names;
        for (const auto& record : sim::journal())
            if (record.operation == "GetProcAddress") names.push_back(record.arguments);
        return names;
    }
    sim::Counts before;
};

}  // namespace

TEST_F(WinUsbInitialisation, WithoutATableLoadsNothing) {
    sim::startJournal();
    EXPECT_EQ(initializeDeviceAccess(nullptr), NoApiTable);
    EXPECT_EQ(sim::journalCount("LoadLibraryA"), 0u);
    EXPECT_EQ(sim::journalCount("CreateThread"), 0u);
}

TEST_F(WinUsbInitialisation, LoadsWinUsbResolvesTheEntryPointsInOrderAndStartsTheMonitor) {
    sim::startJournal();
    EXPECT_EQ(initializeDeviceAccess(&winUsbApi), Success);
    EXPECT_EQ(sim::journal().front().operation, "LoadLibraryA");
    EXPECT_EQ(sim::journal().front().arguments, "winusb.dll");
    EXPECT_EQ(resolvedNames(),
              (std::vector<std::string>{"WinUsb_Initialize", "WinUsb_QueryDeviceInformation", "WinUsb_GetDescriptor",
                                        "WinUsb_ReadPipe", "WinUsb_WritePipe", "WinUsb_SetPipePolicy", "WinUsb_Free",
                                        "WinUsb_AbortPipe", "WinUsb_ControlTransfer"}));
    EXPECT_NE(winUsbApi.module, nullptr);
    EXPECT_NE(winUsbApi.initialize, nullptr);
    EXPECT_NE(winUsbApi.controlTransfer, nullptr);
    EXPECT_EQ(sim::openCounts().modules, before.modules + 1);
    ASSERT_NE(monitorThread, nullptr);
    EXPECT_NE(monitorThreadId, 0u);
    EXPECT_NE(listeningMonitorWindow(), nullptr);
}

TEST_F(WinUsbInitialisation, AMissingEntryPointIsLeftNullWithoutFailing) {
    sim::setEntryPointAvailable("winusb.dll", "WinUsb_GetDescriptor", false);
    EXPECT_EQ(initializeDeviceAccess(&winUsbApi), Success);
    EXPECT_EQ(winUsbApi.getDescriptor, nullptr);
    EXPECT_NE(winUsbApi.queryDeviceInformation, nullptr);
    EXPECT_NE(winUsbApi.readPipe, nullptr);
    EXPECT_NE(monitorThread, nullptr);
}

TEST_F(WinUsbInitialisation, WithoutWinUsbStartsNoMonitorYetSucceeds) {
    sim::setModuleAvailable("winusb.dll", false);
    sim::startJournal();
    EXPECT_EQ(initializeDeviceAccess(&winUsbApi), 1);
    EXPECT_EQ(winUsbApi.module, nullptr);
    EXPECT_EQ(winUsbApi.initialize, nullptr);
    EXPECT_EQ(sim::journalCount("CreateThread"), 0u);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());

    // The exported method hands out the access handle all the same.
    EXPECT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), 0);
    EXPECT_EQ(accessHandle, 0);
    EXPECT_EQ(sim::journalCount("CreateThread"), 0u);
    EXPECT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), AlreadyInitialized);
}

TEST_F(WinUsbInitialisation, AThreadThatCannotStartReleasesWinUsbAndLeavesNothingCallable) {
    sim::failNthCall("CreateThread", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), ThreadStartFailed);
    EXPECT_EQ(accessHandle, -1);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    EXPECT_EQ(winUsbApi.module, nullptr);
    EXPECT_EQ(winUsbApi.initialize, nullptr);
    EXPECT_EQ(winUsbApi.readPipe, nullptr);
    EXPECT_EQ(winUsbApi.controlTransfer, nullptr);
    EXPECT_EQ(WinUsbApi::unload(&winUsbApi), WinUsbNotLoaded);
    EXPECT_EQ(WinUsbApi::unload(nullptr), WinUsbNotLoaded);

    // A later attempt can succeed.
    EXPECT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), 0);
    EXPECT_NE(winUsbApi.initialize, nullptr);
}

TEST_F(WinUsbInitialisation, AgainAfterReleaseLoadsAgainAndTheSecondMonitorGivesWay) {
    ASSERT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), 0);
    platform::Hwnd window = listeningMonitorWindow();
    ASSERT_NE(window, nullptr);
    platform::Handle firstThread = monitorThread;
    ASSERT_EQ(TAMBERLYX_METHOD(usbRelease)(nullptr, nullptr, 0), 0);

    sim::startJournal();
    ASSERT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), 0);
    EXPECT_EQ(sim::journalCount("LoadLibraryA"), 1u);
    EXPECT_EQ(sim::journalCount("CreateThread"), 1u);
    EXPECT_NE(monitorThread, firstThread);
    // The second monitor ends at class registration; the first one listens on.
    EXPECT_EQ(platform::WaitForSingleObject(monitorThread, 5000), platform::kWaitObject0);
    EXPECT_EQ(platform::FindWindowA(DeviceChangeMonitor::kWindowClassName, nullptr), window);
    EXPECT_EQ(sim::openCounts().threads, before.threads + 1);
    // Each initialisation keeps its reference to WinUSB; the table keeps one
    // thread handle, however often it was initialised.
    EXPECT_EQ(sim::moduleReferences("winusb.dll"), 2);
    EXPECT_EQ(sim::openCounts().handles, before.handles + 1);
    EXPECT_NE(winUsbApi.initialize, nullptr);

    // Close the first monitor, which still owns the window.
    EXPECT_TRUE(closeMonitor(window, monitorThread));
    EXPECT_TRUE(eventually([&] { return sim::openCounts().threads == before.threads; }));
}
