// Control and bulk transfers and pipe aborts on a WinUSB device: pipe ids,
// the time-out policy before every bulk transfer, stalls, aborts from
// another thread, and entry points that must not be called.
#include "access_fixture.h"

#include <thread>

using namespace testsupport;

namespace {

using WinUsbTransfers = DeviceAccessTest;

std::vector<uint8_t> setupPacket(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                 uint16_t length, size_t dataStage) {
    std::vector<uint8_t> bytes = {requestType,
                                  request,
                                  static_cast<uint8_t>(value & 0xFF),
                                  static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(index & 0xFF),
                                  static_cast<uint8_t>(index >> 8),
                                  static_cast<uint8_t>(length & 0xFF),
                                  static_cast<uint8_t>(length >> 8)};
    bytes.resize(8 + dataStage, 0);
    return bytes;
}

int32_t size(const std::vector<uint8_t>& bytes) { return static_cast<int32_t>(bytes.size()); }

TEST_F(WinUsbTransfers, BulkDataLoopsBackThroughTheOutAndInPipesOfOneEndpointNumber) {
    DeviceEntry& e = openWinUsb();
    sim::Counts whileOpen = sim::openCounts();
    std::vector<uint8_t> sent = pattern(100, 3);
    sim::startJournal();
    EXPECT_EQ(e.writeBulkPipe(1, 100, 500, sent.data(), size(sent)), 100);
    std::vector<uint8_t> received(100, 0);
    EXPECT_EQ(e.readBulkPipe(1, 100, 500, received.data(), size(received)), 100);
    EXPECT_EQ(received, sent);
    EXPECT_EQ(e.lastResult, 100);
    // Each transfer sets the pipe's time-out first; the read addresses 0x81.
    EXPECT_EQ(callsOf("WinUsb_SetPipePolicy"), (std::vector<std::string>{"0x01 3 500", "0x81 3 500"}));
    EXPECT_EQ(callsOf("WinUsb_WritePipe"), std::vector<std::string>{"0x01 100"});
    EXPECT_EQ(callsOf("WinUsb_ReadPipe"), std::vector<std::string>{"0x81 100"});

    // Only the low eight bits name the pipe; a read on 0x81 stays 0x81.
    sim::startJournal();
    EXPECT_EQ(e.writeBulkPipe(0x101, 4, 200, sent.data(), size(sent)), 4);
    EXPECT_EQ(e.readBulkPipe(0x81, 2, 200, received.data(), size(received)), 2);
    EXPECT_EQ(e.readBulkPipe(0x7F01, 2, 200, received.data() + 2, size(received) - 2), 2);
    EXPECT_EQ(std::vector<uint8_t>(received.begin(), received.begin() + 4),
              std::vector<uint8_t>(sent.begin(), sent.begin() + 4));
    EXPECT_EQ(callsOf("WinUsb_WritePipe"), std::vector<std::string>{"0x01 4"});
    EXPECT_EQ(callsOf("WinUsb_ReadPipe"), (std::vector<std::string>{"0x81 2", "0x81 2"}));
    EXPECT_EQ(sim::openCounts(), whileOpen) << "a transfer keeps no handle";
}

TEST_F(WinUsbTransfers, FailedBulkTransfersAnswerTransferFailedWithTheSystemError) {
    DeviceEntry& e = openWinUsb();
    std::vector<uint8_t> data(16, 0x5A);
    EXPECT_EQ(e.writeBulkPipe(kStalledPipe, 16, 100, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorGenFailure);
    e.lastError = 0;
    EXPECT_EQ(e.readBulkPipe(kStalledPipe, 16, 100, data.data(), size(data)), TransferFailed)
        << "a read addresses 0x82, which the device does not have";
    EXPECT_NE(e.lastError, 0u);

    // A read that nothing answers ends with the pipe's time-out, not a count of 0.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.readBulkPipe(kSilentInPipe, 16, 80, data.data(), size(data)), TransferFailed);
    EXPECT_GE(millisecondsSince(start), 75);
    EXPECT_EQ(e.lastError, platform::kErrorSemTimeout);
    EXPECT_EQ(e.isOpen, 1);
    EXPECT_EQ(data, std::vector<uint8_t>(16, 0x5A));
}

TEST_F(WinUsbTransfers, AnAbortFromAnotherThreadEndsABlockedBulkRead) {
    DeviceEntry& e = openWinUsb();
    std::shared_ptr<sim::WinUsbDevice> running = sim::winUsbDeviceAt(winUsbPath());
    ASSERT_NE(running, nullptr);
    std::vector<uint8_t> data(32, 0);
    int32_t readResult = 0;
    auto start = std::chrono::steady_clock::now();
    // No time-out: only the abort can end it.
    std::thread reader([&] { readResult = e.readBulkPipe(kSilentInPipe & 0x0F, 32, 0, data.data(), size(data)); });
    ASSERT_TRUE(running->waitForBlockedTransfers(1, 2000));
    sim::startJournal();
    int32_t abortResult = e.cancelPipeTransfer(kSilentInPipe);
    reader.join();
    EXPECT_EQ(abortResult, Success);
    EXPECT_EQ(readResult, TransferFailed);
    EXPECT_LT(millisecondsSince(start), 2000);
    EXPECT_EQ(callsOf("WinUsb_AbortPipe"), std::vector<std::string>{"0x83 0"}) << "aborted as the caller named it";

    // An abort the device refuses.
    EXPECT_EQ(e.cancelPipeTransfer(0x0E), AbortFailed);
    EXPECT_EQ(e.lastError, platform::kErrorInvalidParameter);
}

TEST_F(WinUsbTransfers, ControlTransfersCarryTheCallersSetupPacketAndDataStage) {
    DeviceEntry& e = openWinUsb();
    // A vendor request out, and back in.
    std::vector<uint8_t> out = setupPacket(0x40, 0x01, 0x1234, 0x0002, 12, 12);
    std::vector<uint8_t> payload = pattern(12, 40);
    std::copy(payload.begin(), payload.end(), out.begin() + 8);
    sim::startJournal();
    EXPECT_EQ(e.writeControlPipe(12, 0, out.data(), size(out)), 12);
    std::vector<uint8_t> in = setupPacket(0xC0, 0x02, 0, 0, 12, 12);
    EXPECT_EQ(e.readControlPipe(12, 0, in.data(), size(in)), 12);
    EXPECT_EQ(std::vector<uint8_t>(in.begin() + 8, in.end()), payload);
    EXPECT_EQ(callsOf("WinUsb_ControlTransfer"),
              (std::vector<std::string>{"40 01 1234 0002 12 12", "C0 02 0000 0000 12 12"}));
    EXPECT_TRUE(callsOf("WinUsb_SetPipePolicy").empty()) << "control transfers set no time-out";

    // A standard GET_DESCRIPTOR for the device descriptor.
    std::vector<uint8_t> get = setupPacket(0x80, 0x06, 0x0100, 0, 18, 18);
    EXPECT_EQ(e.readControlPipe(18, 0, get.data(), size(get)), 18);
    platform::UsbDeviceDescriptor model = device(kLoopbackProduct).descriptor;
    EXPECT_EQ(0, std::memcmp(get.data() + 8, &model, 18));

    // A zero-length data stage.
    std::vector<uint8_t> bare = setupPacket(0x40, 0x03, 7, 0, 0, 0);
    EXPECT_EQ(e.writeControlPipe(0, 0, bare.data(), size(bare)), 0);
    EXPECT_EQ(e.lastResult, 0);

    // What the device stalls: -112 for a write, -113 for a read.
    std::vector<uint8_t> unknown = setupPacket(0x00, 0x33, 0, 0, 4, 4);
    EXPECT_EQ(e.writeControlPipe(4, 0, unknown.data(), size(unknown)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorGenFailure);
    EXPECT_EQ(e.readControlPipe(4, 0, unknown.data(), size(unknown)), ReadFailed);
}

TEST_F(WinUsbTransfers, WinUsbRequestsOnAHidDeviceAreRefusedByWinUsb) {
    DeviceEntry& e = openHid();
    std::vector<uint8_t> data = setupPacket(0x80, 0x06, 0x0100, 0, 18, 18);
    EXPECT_EQ(e.readControlPipe(18, 0, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorInvalidHandle);
    EXPECT_EQ(e.writeControlPipe(18, 0, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.readBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.writeBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    sim::startJournal();
    EXPECT_EQ(e.cancelPipeTransfer(0x81), Success) << "a HID device has nothing to abort";
    EXPECT_TRUE(callsOf("WinUsb_AbortPipe").empty());
    EXPECT_EQ(e.isOpen, 1);
}

TEST_F(WinUsbTransfers, MissingEntryPointsAreNeverCalled) {
    DeviceEntry& e = openWinUsb();
    std::vector<uint8_t> data = setupPacket(0xC0, 0x02, 0, 0, 8, 8);
    const std::vector<uint8_t> unchanged = data;

    // A table that lost its module (as after a failed monitor start) keeps
    // nothing callable; the interface is given back by hand afterwards.
    WinUsbApi loaded = winUsbApi;
    winUsbApi.module = nullptr;
    sim::startJournal();
    EXPECT_EQ(e.readControlPipe(8, 0, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    EXPECT_EQ(e.writeControlPipe(8, 0, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.writeBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    e.lastError = 0;
    EXPECT_EQ(e.readBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    e.lastError = 0;
    EXPECT_EQ(e.cancelPipeTransfer(0x81), AbortFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    EXPECT_EQ(data, unchanged);
    EXPECT_TRUE(sim::journal().empty());
    winUsbApi = loaded;

    // A name that was not found: only that operation is refused.
    winUsbApi.readPipe = nullptr;
    EXPECT_EQ(e.readBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    EXPECT_EQ(e.writeBulkPipe(1, 8, 10, data.data(), size(data)), 8);

    // Without the pipe policy no bulk transfer runs: it would run without
    // the caller's time-out, and a silent pipe would hold it for ever.
    winUsbApi = loaded;
    winUsbApi.setPipePolicy = nullptr;
    sim::startJournal();
    e.lastError = 0;
    EXPECT_EQ(e.readBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorProcNotFound);
    EXPECT_EQ(e.writeBulkPipe(1, 8, 10, data.data(), size(data)), TransferFailed);
    EXPECT_TRUE(sim::journal().empty());
    winUsbApi = loaded;
}

}  // namespace
