// Interrupt transfers of HID devices: 65-byte reports with report id 0,
// time-outs, and requests that end only after their cancel was asked for.
// The fixture checks after each test that no request is left pending and
// that no event was closed under one.
#include "access_fixture.h"

#include <thread>

using namespace testsupport;

namespace {

using HidReports = DeviceAccessTest;

constexpr int32_t kFullReport = 65;

int32_t size(const std::vector<uint8_t>& bytes) { return static_cast<int32_t>(bytes.size()); }

std::shared_ptr<sim::HidDevice> runningHid(const std::string& path) { return sim::hidDeviceAt(path); }

TEST_F(HidReports, AFullReportIsWrittenWithReportIdZeroAndEchoedBack) {
    DeviceEntry& e = openHid();
    sim::Counts whileOpen = sim::openCounts();
    std::vector<uint8_t> sent = pattern(64, 9);
    sim::startJournal();
    EXPECT_EQ(e.writeInterruptPipe(0x55, 64, 500, sent.data(), size(sent)), kFullReport);
    std::vector<std::vector<uint8_t>> reports = runningHid(hidPath())->outputReports();
    ASSERT_EQ(reports.size(), 1u);
    std::vector<uint8_t> expected(kFullReport, 0);
    std::copy(sent.begin(), sent.end(), expected.begin() + 1);
    EXPECT_EQ(reports[0], expected);

    std::vector<uint8_t> received(64, 0xEE);
    EXPECT_EQ(e.readInterruptPipe(0, 64, 500, received.data(), size(received)), kFullReport);
    EXPECT_EQ(received, sent);
    EXPECT_EQ(e.lastResult, kFullReport);
    EXPECT_EQ(callsOf("CreateEventW").size(), 2u);
    EXPECT_EQ(sim::openCounts(), whileOpen) << "each transfer closes its event";

    // An answer that takes a while is waited for, also without a time-out.
    sim::HidBehaviour slow;
    slow.answerDelayMs = 60;
    runningHid(hidPath())->setBehaviour(slow);
    EXPECT_EQ(e.writeInterruptPipe(0, 64, 500, sent.data(), size(sent)), kFullReport);
    received.assign(64, 0);
    EXPECT_EQ(e.readInterruptPipe(0, 64, -1, received.data(), size(received)), kFullReport);
    EXPECT_EQ(e.lastError, 0u);
    EXPECT_EQ(received, sent);
}

TEST_F(HidReports, ASilentDeviceTimesOutAndLeavesTheArrayAlone) {
    DeviceEntry& e = openHid(kSilentHidProduct);
    std::vector<uint8_t> data(64, 0xA5);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.readInterruptPipe(0, 64, 100, data.data(), size(data)), TimedOut);
    long elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, 95);
    EXPECT_LT(elapsed, 100 + 250);
    EXPECT_EQ(e.lastResult, TimedOut);
    EXPECT_EQ(e.lastError, platform::kErrorIoPending);
    EXPECT_EQ(data, std::vector<uint8_t>(64, 0xA5));

    // A write the device never takes times out the same way.
    sim::HidBehaviour stuck;
    stuck.kind = sim::HidReportKind::Silent;
    stuck.writesHang = true;
    runningHid(hidPath(kSilentHidProduct))->setBehaviour(stuck);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.writeInterruptPipe(0, 64, 60, data.data(), size(data)), TimedOut);
    EXPECT_GE(millisecondsSince(start), 55);
    EXPECT_EQ(e.lastError, platform::kErrorIoPending);
}

TEST_F(HidReports, ARequestThatEndsAfterItsCancelIsWaitedForBeforeItsBuffersGo) {
    DeviceEntry& e = openHid(kSilentHidProduct);
    // The driver takes its time to give a cancelled read back.
    sim::HidBehaviour lateCancel;
    lateCancel.kind = sim::HidReportKind::Silent;
    lateCancel.cancelDelayMs = 150;
    runningHid(hidPath(kSilentHidProduct))->setBehaviour(lateCancel);
    std::vector<uint8_t> data(64, 0x11);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(e.readInterruptPipe(0, 64, 50, data.data(), size(data)), TimedOut);
    EXPECT_GE(millisecondsSince(start), 50 + 140);
    EXPECT_EQ(sim::pendingRequests(), 0u);
    EXPECT_TRUE(sim::misuseReports().empty());

    // The driver ignores the cancel and the device answers late: the answer
    // comes after the time-out, so it is not handed out.
    DeviceEntry& echo = openHid();
    sim::HidBehaviour lateAnswer;
    lateAnswer.answerDelayMs = 120;
    lateAnswer.cancelIgnored = true;
    runningHid(hidPath())->setBehaviour(lateAnswer);
    std::vector<uint8_t> sent = pattern(64, 1);
    ASSERT_EQ(echo.writeInterruptPipe(0, 64, 500, sent.data(), size(sent)), kFullReport);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(echo.readInterruptPipe(0, 64, 30, data.data(), size(data)), TimedOut);
    EXPECT_GE(millisecondsSince(start), 110);
    EXPECT_EQ(data, std::vector<uint8_t>(64, 0x11));
    EXPECT_EQ(sim::pendingRequests(), 0u);
}

TEST_F(HidReports, BytesTheDeviceDidNotSendReadAsZero) {
    DeviceEntry& e = openHid();
    std::vector<uint8_t> full = pattern(64, 77);
    ASSERT_EQ(e.writeInterruptPipe(0, 64, 500, full.data(), size(full)), kFullReport);
    std::vector<uint8_t> data(64, 0);
    ASSERT_EQ(e.readInterruptPipe(0, 64, 500, data.data(), size(data)), kFullReport);

    // Now the device answers with 8-byte reports.
    sim::HidBehaviour shortReports;
    shortReports.inputReportLength = shortReports.outputReportLength = 9;
    runningHid(hidPath())->setBehaviour(shortReports);
    ASSERT_EQ(e.writeInterruptPipe(0, 8, 500, full.data(), size(full)), 9);
    EXPECT_EQ(e.readInterruptPipe(0, 64, 500, data.data(), size(data)), 9);
    std::vector<uint8_t> expected(full.begin(), full.begin() + 8);
    expected.resize(64, 0);
    EXPECT_EQ(data, expected);
}

TEST_F(HidReports, EveryWaitOutcomeEndsTheRequestBeforeItsEventIsClosed) {
    DeviceEntry& e = openHid(kSilentHidProduct);
    std::vector<uint8_t> data(64, 0x3C);
    const std::vector<uint8_t> unchanged = data;

    // An unexpected wait result (WAIT_ABANDONED).
    sim::forceNextWaitResult(0x80);
    e.lastError = 0;
    EXPECT_EQ(e.readInterruptPipe(0, 64, 1000, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorIoPending);

    // A failed wait records its own error.
    sim::failNthCall("WaitForSingleObject", 1, platform::kErrorInvalidHandle);
    EXPECT_EQ(e.readInterruptPipe(0, 64, 1000, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorInvalidHandle);

    // Signalled, but the request has not ended.
    sim::forceNextWaitResult(platform::kWaitObject0);
    EXPECT_EQ(e.readInterruptPipe(0, 64, 1000, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorIoIncomplete);

    EXPECT_EQ(data, unchanged);
    EXPECT_EQ(sim::pendingRequests(), 0u);
    EXPECT_TRUE(sim::misuseReports().empty());
}

TEST_F(HidReports, FailuresBeforeAndAfterTheRequestAnswerTheOperationsFailureValue) {
    DeviceEntry& e = openHid();
    std::vector<uint8_t> data = pattern(64, 5);
    const std::vector<uint8_t> unchanged = data;

    // The end of the file: nothing to cancel.
    sim::failNthCall("WriteFile", 1, platform::kErrorHandleEof);
    sim::startJournal();
    EXPECT_EQ(e.writeInterruptPipe(0, 64, 100, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorHandleEof);
    EXPECT_TRUE(callsOf("CancelIo").empty());

    // Any other error: cancelled all the same.
    sim::failNthCall("ReadFile", 1, platform::kErrorGenFailure);
    sim::startJournal();
    EXPECT_EQ(e.readInterruptPipe(0, 64, 100, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorGenFailure);
    EXPECT_EQ(callsOf("CancelIo").size(), 1u);

    // No event, no request.
    sim::failNthCall("CreateEventW", 1, platform::kErrorNotEnoughMemory);
    sim::startJournal();
    EXPECT_EQ(e.writeInterruptPipe(0, 64, 100, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorNotEnoughMemory);
    EXPECT_TRUE(callsOf("WriteFile").empty());

    // The device takes exactly one 65-byte report: a shorter one is refused.
    EXPECT_EQ(e.writeInterruptPipe(0, 10, 100, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(e.lastError, platform::kErrorInvalidParameter);

    // The result of a pending request that fails.
    sim::HidBehaviour slow;
    slow.answerDelayMs = 30;
    runningHid(hidPath())->setBehaviour(slow);
    ASSERT_EQ(e.writeInterruptPipe(0, 64, 100, data.data(), size(data)), kFullReport);
    sim::failNthCall("GetOverlappedResult", 1, platform::kErrorGenFailure);
    EXPECT_EQ(e.readInterruptPipe(0, 64, 500, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(e.lastError, platform::kErrorGenFailure);
    EXPECT_EQ(data, unchanged);

    // Reports on a WinUSB device's file: the system refuses them.
    DeviceEntry& winUsb = openWinUsb();
    EXPECT_EQ(winUsb.writeInterruptPipe(0, 64, 100, data.data(), size(data)), TransferFailed);
    EXPECT_EQ(winUsb.readInterruptPipe(0, 64, 100, data.data(), size(data)), ReadFailed);
    EXPECT_EQ(data, unchanged);
}

}  // namespace
