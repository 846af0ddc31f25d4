// Loading WinUSB at run time, and the initialisation step that also starts
// the device-change monitor.
#include <gtest/gtest.h>

#include "access/win_usb_api.h"
#include "jni/access_handle.h"
#include "jni/exports.h"
#include "jni/status_code.h"
#include "platform/sim/faults.h"
#include "platform/sim/sim.h"

namespace {

class WinUsbInitialisation : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        winUsbApi = WinUsbApi{};
        accessHandle = -1;
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::stopJournal();
        sim::clearFaults();
        accessHandle = -1;
    }
    sim::Counts before;
};

}  // namespace

TEST_F(WinUsbInitialisation, WithoutATableLoadsNothing) {
    sim::startJournal();
    EXPECT_EQ(initializeDeviceAccess(nullptr), NoApiTable);
    EXPECT_EQ(sim::journalCount("LoadLibraryA"), 0u);
    EXPECT_EQ(sim::journalCount("CreateThread"), 0u);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
}

TEST_F(WinUsbInitialisation, WithoutWinUsbStartsNoMonitorYetSucceeds) {
    sim::failNthCall("LoadLibraryA", 1, platform::kErrorModNotFound);
    sim::startJournal();
    EXPECT_EQ(initializeDeviceAccess(&winUsbApi), 1);
    EXPECT_EQ(winUsbApi.module, nullptr);
    EXPECT_EQ(winUsbApi.initialize, nullptr);
    EXPECT_EQ(sim::journalCount("CreateThread"), 0u);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());

    // The exported method hands out the access handle all the same.
    sim::failNthCall("LoadLibraryA", 1, platform::kErrorModNotFound);
    EXPECT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), 0);
    EXPECT_EQ(accessHandle, 0);
    EXPECT_EQ(sim::journalCount("CreateThread"), 0u);
    EXPECT_EQ(TAMBERLYX_METHOD(usbInitialize)(nullptr, nullptr), AlreadyInitialized);
}

TEST_F(WinUsbInitialisation, UnloadWithoutAModuleReportsIt) {
    EXPECT_EQ(WinUsbApi::unload(nullptr), WinUsbNotLoaded);
    EXPECT_EQ(WinUsbApi::unload(&winUsbApi), WinUsbNotLoaded);
}
