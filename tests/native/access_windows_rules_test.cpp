// What a caller sees of HID devices whose reports are not 64 bytes, of
// devices another program holds open, and of devices that come up in stages.
#include "access_fixture.h"

#include <thread>

#include "platform/files.h"
#include "platform/hid.h"
#include "platform/sim/control/sim_control.h"
#include "platform/usb_requests.h"

using namespace testsupport;

namespace {

using WindowsRules = DeviceAccessTest;

int32_t size(const std::vector<uint8_t>& bytes) { return static_cast<int32_t>(bytes.size()); }

void setReports(const std::string& path, uint32_t input, uint32_t output, std::vector<uint8_t> ids = {}) {
    sim::HidBehaviour b;
    b.inputReportLength = input;
    b.outputReportLength = output;
    b.reportIds = std::move(ids);
    sim::hidDeviceAt(path)->setBehaviour(b);
}

TEST_F(WindowsRules, ReportLengthsOtherThan64FailAtOnceOrSendOnlyTheReport) {
    DeviceEntry& e = openHid();
    std::vector<uint8_t> data = pattern(64, 3);

    // An output report of 33 bytes: 16 data bytes are too few, 64 send the
    // first 32 and count the report.
    setReports(hidPath(), 65, 33);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.writeInterruptPipe(0, 16, 1000, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorInvalidParameter);
    EXPECT_LT(millisecondsSince(start), 500) << "a refused write is not waited for";
    EXPECT_EQ(e.writeInterruptPipe(0, 64, 1000, data.data(), size(data)), 33);
    std::vector<std::vector<uint8_t>> sent = sim::hidDeviceAt(hidPath())->outputReports();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 33u);

    // An input report longer than what the caller may read fails at once.
    setReports(hidPath(), 129, 65);
    std::vector<uint8_t> received(64, 0xEE);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.readInterruptPipe(0, 64, 1000, received.data(), size(received)), ReadFailed);
    EXPECT_EQ(e.lastError, sim::kErrorInvalidUserBuffer);
    EXPECT_LT(millisecondsSince(start), 500);
    EXPECT_EQ(received, std::vector<uint8_t>(64, 0xEE));

    // A device with report ids refuses the library's report id 0.
    setReports(hidPath(), 65, 65, {1, 2});
    EXPECT_EQ(e.writeInterruptPipe(0, 64, 1000, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorInvalidParameter);
}

TEST_F(WindowsRules, AnotherProgramsOpenDecidesWhetherTheDeviceOpens) {
    // A HID device another program shares for reading and writing opens;
    // one it keeps to itself does not; a keyboard never does.
    sim::OtherProgramOpen sharing;
    sharing.shareMode = platform::kFileShareRead | platform::kFileShareWrite;
    sim::withMachine([&](sim::Machine& m) {
        sim::findDevice(m, kVendor, kHidProduct)->hidInterfaces[0].heldOpen = sharing;
        sim::findDevice(m, kVendor, kSilentHidProduct)->hidInterfaces[0].keyboardOrMouse = true;
        sim::findDevice(m, kVendor, kLoopbackProduct)->heldOpen = sharing;
    });
    DeviceEntry& shared = entryFor(hidPath(), true).entry;
    EXPECT_EQ(shared.open(), OpenFailed) << "the library opens without sharing: the holder's read access conflicts";
    DeviceEntry& keyboard = entryFor(hidPath(kSilentHidProduct), true).entry;
    EXPECT_EQ(keyboard.open(), OpenFailed);
    platform::Handle query = platform::CreateFileA(hidPath(kSilentHidProduct).c_str(), 0,
                                                   platform::kFileShareRead | platform::kFileShareWrite, nullptr,
                                                   platform::kOpenExisting, 0, nullptr);
    EXPECT_TRUE(platform::isValidHandle(query)) << "opening a keyboard without access is allowed";
    platform::CloseHandle(query);
    platform::Handle readWrite = platform::CreateFileA(
        hidPath(kSilentHidProduct).c_str(), platform::kGenericRead | platform::kGenericWrite,
        platform::kFileShareRead | platform::kFileShareWrite, nullptr, platform::kOpenExisting, 0, nullptr);
    EXPECT_FALSE(platform::isValidHandle(readWrite));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorAccessDenied);

    // WinUSB takes one open, whatever the share modes.
    DeviceEntry& winusb = entryFor(winUsbPath(), false).entry;
    EXPECT_EQ(winusb.open(), OpenFailed);
    sim::withMachine([&](sim::Machine& m) { sim::findDevice(m, kVendor, kLoopbackProduct)->heldOpen.reset(); });
    EXPECT_EQ(winusb.open(), Success);
    platform::Handle second = platform::CreateFileA(winUsbPath().c_str(), platform::kGenericRead,
                                                    platform::kFileShareRead | platform::kFileShareWrite, nullptr,
                                                    platform::kOpenExisting, 0, nullptr);
    EXPECT_FALSE(platform::isValidHandle(second));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorAccessDenied);
}

TEST_F(WindowsRules, APluggedHidDeviceComesUpInStages) {
    using Clock = std::chrono::steady_clock;
    const auto stage = std::chrono::milliseconds(400);
    sim::Device late = sim::DeviceBuilder(kVendor, 0x0042).strings("Maker", "Late", "SN9").hid().build();
    late.arrival.interfacesAfterMs = 400;
    late.arrival.hidStringsFailForMs = 400;
    std::string path = late.hidInterfaces[0].interface.path;
    const Clock::time_point plugged = Clock::now();
    ASSERT_TRUE(sim::plugDevice({0, 4}, late));

    // At first only the USB device interface is there (checked only while
    // the first stage surely lasts, so that a slow machine cannot fail it).
    DeviceEntry& e = entryFor(path, true).entry;
    int32_t first = e.open();
    if (Clock::now() - plugged < stage) {
        EXPECT_EQ(first, OpenFailed);
    }
    if (first == Success) e.close();

    // Then the collection opens, its strings not answered yet; polled
    // against a deadline rather than slept for.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    int32_t opened = OpenFailed;
    while ((opened = e.open()) != Success && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(opened, Success);
    const Clock::time_point openedAt = Clock::now();
    char16_t text[64];
    bool answered = platform::HidD_GetProductString(e.fileHandle, text, sizeof text);
    if (Clock::now() - openedAt < stage / 2) {
        EXPECT_FALSE(answered);
        EXPECT_EQ(platform::GetLastError(), platform::kErrorGenFailure);
    }
    while (!(answered = platform::HidD_GetProductString(e.fileHandle, text, sizeof text)) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(answered);
    EXPECT_EQ(std::u16string(text), u"Late");
    EXPECT_EQ(e.close(), Success);
}

}  // namespace
