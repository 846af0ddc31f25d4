// Opening and closing listed devices: the path and flags of the open, the
// WinUSB interface of a WinUSB device, exclusive opens, refused
// initialisations and what they leave behind.
#include "access_fixture.h"

#include "platform/kernel.h"
#include "platform/usb_requests.h"
#include "session/initialization.h"

using namespace testsupport;

namespace {

using DeviceOpenClose = DeviceAccessTest;

TEST_F(DeviceOpenClose, AWinUsbDeviceOpensItsInterfacePathExclusivelyAndGetsAnInterfaceHandle) {
    DeviceEntry& e = entryFor(winUsbPath(), false).entry;
    e.lastError = 99;
    sim::startJournal();
    ASSERT_EQ(e.open(), Success);
    EXPECT_EQ(callsOf("CreateFileA"),
              std::vector<std::string>{winUsbPath() + " access=0xc0000000 share=0x0 flags=0x40000080"});
    EXPECT_EQ(callsOf("WinUsb_Initialize").size(), 1u);
    EXPECT_EQ(e.isOpen, 1);
    EXPECT_TRUE(platform::isValidHandle(e.fileHandle));
    EXPECT_NE(e.winUsbHandle, nullptr);
    EXPECT_EQ(e.lastResult, Success);
    EXPECT_EQ(e.lastError, 0u);
    EXPECT_EQ(sim::openCounts().winUsbInterfaces, before.winUsbInterfaces + 1);

    // Opening again changes nothing; the handles stay those of the first open.
    platform::Handle file = e.fileHandle;
    EXPECT_EQ(e.open(), AlreadyOpen);
    EXPECT_EQ(e.fileHandle, file);
    EXPECT_EQ(e.isOpen, 1);

    // The interface goes before its file (a file closed under a live
    // interface is reported as misuse); close leaves nothing behind.
    sim::startJournal();
    EXPECT_EQ(e.close(), Success);
    EXPECT_EQ(callsOf("WinUsb_Free").size(), 1u);
    EXPECT_TRUE(sim::misuseReports().empty());
    EXPECT_EQ(e.isOpen, 0);
    EXPECT_EQ(e.fileHandle, platform::invalidHandle());
    EXPECT_EQ(e.winUsbHandle, nullptr);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    EXPECT_EQ(e.close(), NotOpen);
    EXPECT_EQ(e.lastResult, NotOpen);
}

TEST_F(DeviceOpenClose, AHidDeviceOpensItsHidPathWithoutWinUsb) {
    DeviceEntry& e = entryFor(hidPath(), true).entry;
    e.devicePath = nullptr;
    sim::startJournal();
    ASSERT_EQ(e.open(), Success);
    EXPECT_EQ(callsOf("CreateFileA"),
              std::vector<std::string>{hidPath() + " access=0xc0000000 share=0x0 flags=0x40000080"});
    EXPECT_TRUE(callsOf("WinUsb_Initialize").empty());
    EXPECT_EQ(e.winUsbHandle, nullptr);
    EXPECT_EQ(e.close(), Success);
    EXPECT_TRUE(callsOf("WinUsb_Free").empty());
    EXPECT_EQ(sim::openCounts(), before);
}

TEST_F(DeviceOpenClose, ResetAnswersFromTheEntryAlone) {
    DeviceEntry& e = entryFor(winUsbPath(), false).entry;
    EXPECT_EQ(e.reset(), NotOpen);
    ASSERT_EQ(e.open(), Success);
    sim::startJournal();
    EXPECT_EQ(e.reset(), Success);
    EXPECT_TRUE(sim::journal().empty());
}

TEST_F(DeviceOpenClose, AnEntryWithoutThePathItsKindNeedsCannotBeOpened) {
    // A HID entry with only a device path, a WinUSB entry with only a HID path.
    DeviceEntry& hid = entryFor(winUsbPath(), false).entry;
    hid.isHid = 1;
    DeviceEntry& winUsb = entryFor(hidPath(), true).entry;
    winUsb.isHid = 0;
    sim::startJournal();
    for (DeviceEntry* e : {&hid, &winUsb}) {
        e->lastError = 55;
        EXPECT_EQ(e->open(), OpenFailed);
        EXPECT_EQ(e->isOpen, 0);
        EXPECT_EQ(e->fileHandle, platform::invalidHandle());
        EXPECT_EQ(e->lastError, 55u);
    }
    EXPECT_TRUE(callsOf("CreateFileA").empty());
}

TEST_F(DeviceOpenClose, ADeviceHeldElsewhereIsNotOpenedAgain) {
    platform::Handle elsewhere = platform::CreateFileA(hidPath().c_str(), platform::kGenericRead, 0, nullptr,
                                                       platform::kOpenExisting, 0, nullptr);
    ASSERT_TRUE(platform::isValidHandle(elsewhere));
    DeviceEntry& e = entryFor(hidPath(), true).entry;
    EXPECT_EQ(e.open(), OpenFailed);
    EXPECT_EQ(e.fileHandle, platform::invalidHandle());
    platform::CloseHandle(elsewhere);

    // Two entries of one device: the second open is refused while the first holds it.
    DeviceEntry& first = openWinUsb();
    DeviceEntry& second = entryFor(winUsbPath(), false).entry;
    EXPECT_EQ(second.open(), OpenFailed);
    EXPECT_EQ(first.close(), Success);
    EXPECT_EQ(second.open(), Success);
}

TEST_F(DeviceOpenClose, ARefusedInitialisationClosesTheFileItOpened) {
    // A device whose driver is not WinUSB: the system refuses the interface.
    DeviceEntry& storage = entryFor(device(kStorageProduct).usbInterface.path, false).entry;
    EXPECT_EQ(storage.open(), WinUsbInitFailed);
    EXPECT_EQ(storage.lastError, platform::kErrorNotSupported);
    EXPECT_EQ(storage.isOpen, 0);
    EXPECT_EQ(storage.fileHandle, platform::invalidHandle());
    EXPECT_EQ(storage.winUsbHandle, nullptr);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());

    // A refusal of one attempt leaves the device free for the next.
    DeviceEntry& e = entryFor(winUsbPath(), false).entry;
    sim::failNthCall("WinUsb_Initialize", 1, platform::kErrorGenFailure);
    EXPECT_EQ(e.open(), WinUsbInitFailed);
    EXPECT_EQ(e.lastError, platform::kErrorGenFailure);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    EXPECT_EQ(e.open(), Success);
}

TEST_F(DeviceOpenClose, AMissingInitializeIsNeverCalled) {
    // No WinUSB at all, as on a machine without it: HID devices still open.
    WinUsbApi::unload(&winUsbApi);
    sim::startJournal();
    DeviceEntry& e = entryFor(winUsbPath(), false).entry;
    EXPECT_EQ(e.open(), WinUsbInitFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    EXPECT_EQ(e.fileHandle, platform::invalidHandle());
    EXPECT_TRUE(callsOf("WinUsb_Initialize").empty());
    EXPECT_EQ(openHid().lastResult, Success);

    // WinUSB loaded, but without the one name open needs.
    sim::setEntryPointAvailable("winusb.dll", "WinUsb_Initialize", false);
    ASSERT_NE(WinUsbApi::load(), nullptr);
    EXPECT_EQ(winUsbApi.initialize, nullptr);
    EXPECT_EQ(e.open(), WinUsbInitFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    EXPECT_EQ(e.fileHandle, platform::invalidHandle());
}

// A re-initialisation whose monitor cannot start gives back only the
// reference it took: a device opened earlier still moves data.
TEST_F(DeviceOpenClose, AFailedReinitialisationLeavesOpenDevicesWorking) {
    DeviceEntry& e = openWinUsb();
    sim::failNthCall("CreateThread", 1, platform::kErrorNotEnoughMemory);
    ASSERT_EQ(initializeDeviceAccess(&winUsbApi), ThreadStartFailed);
    EXPECT_EQ(sim::moduleReferences("winusb.dll"), 1);
    std::vector<uint8_t> sent = pattern(16, 3), received(16, 0);
    EXPECT_EQ(e.writeBulkPipe(1, 16, 500, sent.data(), 16), 16);
    EXPECT_EQ(e.readBulkPipe(1, 16, 500, received.data(), 16), 16);
    EXPECT_EQ(received, sent);
}

TEST_F(DeviceOpenClose, AModuleGivenBackAfterAFailedMonitorStartIsNeverCalled) {
    WinUsbApi::unload(&winUsbApi);
    sim::failNthCall("CreateThread", 1, platform::kErrorNotEnoughMemory);
    ASSERT_EQ(initializeDeviceAccess(&winUsbApi), ThreadStartFailed);
    ASSERT_EQ(sim::moduleReferences("winusb.dll"), 0);

    DeviceEntry& e = entryFor(winUsbPath(), false).entry;
    EXPECT_EQ(e.open(), WinUsbInitFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    // Calling into the released module would have been reported as misuse
    // (checked when the test ends).
}

}  // namespace
