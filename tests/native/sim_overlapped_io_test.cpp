// Files on the simulated machine: exclusive opens, overlapped reads and
// writes on a HID device, waits that time out, cancellation that ends late
// on another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/devices/hid_device.h"
#include "platform/sim/devices/winusb_device.h"
#include "platform/usb_requests.h"
#include "transfer_fixture.h"

using namespace platform;

namespace {

constexpr uint32_t kDeviceAccess = kGenericRead | kGenericWrite;
constexpr uint32_t kOverlappedFlags = kFileFlagOverlapped | kFileAttributeNormal;

Handle openExclusive(const std::string& path) {
    return CreateFileA(path.c_str(), kDeviceAccess, 0, nullptr, kOpenExisting, kOverlappedFlags, nullptr);
}

std::vector<uint8_t> report(uint8_t seed) {
    std::vector<uint8_t> r(65);
    for (size_t i = 1; i < r.size(); ++i) r[i] = static_cast<uint8_t>(seed + i);
    return r;
}

// One overlapped request with its own event, released on every path.
struct Request {
    Overlapped overlapped{};
    std::vector<uint8_t> buffer = std::vector<uint8_t>(65, 0xEE);
    Request() { overlapped.hEvent = CreateEventW(nullptr, true, false, nullptr); }
    ~Request() { CloseHandle(overlapped.hEvent); }
};

long elapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

}  // namespace

TEST(SimulatedEvents, ManualAndAutoResetWaitsAndTimeOuts) {
    Handle manual = CreateEventW(nullptr, true, false, nullptr);
    Handle automatic = CreateEventW(nullptr, false, true, nullptr);
    ASSERT_NE(manual, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), kWaitTimeout);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(manual, 60), kWaitTimeout);
    EXPECT_GE(elapsedMs(start), 55);

    // Set from another thread while this one waits without limit.
    std::thread setter([manual] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SetEvent(manual);
    });
    EXPECT_EQ(WaitForSingleObject(manual, kInfinite), kWaitObject0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(manual, 0), kWaitObject0) << "a manual-reset event stays signalled";
    EXPECT_EQ(WaitForSingleObject(automatic, 0), kWaitObject0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), kWaitTimeout) << "an auto-reset event is consumed by a wait";

    EXPECT_TRUE(CloseHandle(manual));
    EXPECT_TRUE(CloseHandle(automatic));
    EXPECT_EQ(WaitForSingleObject(manual, 0), kWaitFailed);
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(SimulatedEvents, CountedUntilClosedAndFaultsInjectable) {
    sim::clearFaults();
    sim::Counts before = sim::openCounts();
    Handle event = CreateEventW(nullptr, true, false, nullptr);
    EXPECT_EQ(sim::openCounts().events, before.events + 1);
    EXPECT_EQ(sim::openCounts().handles, before.handles + 1);
    CloseHandle(event);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());

    sim::failNthCall("CreateEventW", 1, kErrorNotEnoughMemory);
    EXPECT_EQ(CreateEventW(nullptr, true, false, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), kErrorNotEnoughMemory);
    sim::failNthCall("WaitForSingleObject", 1, kErrorInvalidHandle);
    Handle other = CreateEventW(nullptr, true, true, nullptr);
    EXPECT_EQ(WaitForSingleObject(other, 0), kWaitFailed);
    sim::forceNextWaitResult(0x80);
    EXPECT_EQ(WaitForSingleObject(other, 0), 0x80u);
    EXPECT_EQ(WaitForSingleObject(other, 0), kWaitObject0);
    CloseHandle(other);
}

TEST(SimulatedFiles, ExclusiveOpenRefusesASecondOpenUntilClosed) {
    testsupport::TwoDeviceMachine twoDevices;
    Handle first = openExclusive(twoDevices.hid);
    ASSERT_TRUE(isValidHandle(first));
    EXPECT_EQ(openExclusive(twoDevices.hid), invalidHandle());
    EXPECT_EQ(GetLastError(), kErrorSharingViolation);
    Handle shared = CreateFileA(twoDevices.hid.c_str(), kDeviceAccess, kFileShareRead | kFileShareWrite, nullptr,
                                kOpenExisting, kOverlappedFlags, nullptr);
    EXPECT_EQ(shared, invalidHandle()) << "sharing offered later does not override an exclusive holder";
    EXPECT_TRUE(CloseHandle(first));
    Handle again = openExclusive(twoDevices.hid);
    EXPECT_TRUE(isValidHandle(again));
    CloseHandle(again);
    EXPECT_FALSE(CloseHandle(again));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST(SimulatedHid, EchoesAnOutputReportAsTheNextInputReport) {
    testsupport::TwoDeviceMachine twoDevices;
    sim::Counts before = sim::openCounts();
    Handle file = openExclusive(twoDevices.hid);
    {
        Request write, read;
        std::vector<uint8_t> out = report(7);
        uint32_t written = 0;
        ASSERT_TRUE(WriteFile(file, out.data(), 65, &written, &write.overlapped));
        EXPECT_EQ(written, 65u);
        EXPECT_EQ(WaitForSingleObject(write.overlapped.hEvent, 0), kWaitObject0) << "done at once, event set";

        uint32_t got = 0;
        ASSERT_TRUE(ReadFile(file, read.buffer.data(), 65, &got, &read.overlapped));
        EXPECT_EQ(got, 65u);
        EXPECT_EQ(read.buffer, out);
        EXPECT_TRUE(GetOverlappedResult(file, &read.overlapped, &got, false));
        EXPECT_EQ(got, 65u);
    }
    CloseHandle(file);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    EXPECT_TRUE(sim::misuseReports().empty());
}

TEST(SimulatedHid, RefusesReportsOfTheWrongSizeAndWritesWithoutAccess) {
    testsupport::TwoDeviceMachine twoDevices;
    Handle file = openExclusive(twoDevices.hid);
    Request request;
    uint32_t count = 0;
    std::vector<uint8_t> shortReport(33);
    request.overlapped.InternalHigh = 7;
    EXPECT_FALSE(WriteFile(file, shortReport.data(), 33, &count, &request.overlapped));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    // Failed at once: the request was marked pending as it began and is
    // never written back nor signalled.
    EXPECT_EQ(request.overlapped.Internal, 0x103u);
    EXPECT_EQ(request.overlapped.InternalHigh, 0u);
    EXPECT_EQ(WaitForSingleObject(request.overlapped.hEvent, 0), kWaitTimeout);
    EXPECT_FALSE(GetOverlappedResult(file, &request.overlapped, &count, false));
    EXPECT_EQ(GetLastError(), kErrorIoIncomplete);
    EXPECT_FALSE(ReadFile(file, request.buffer.data(), 64, &count, &request.overlapped));
    EXPECT_EQ(GetLastError(), 1784u) << "a buffer smaller than one input report";
    EXPECT_FALSE(ReadFile(file, request.buffer.data(), 65, &count, nullptr)) << "an overlapped file needs OVERLAPPED";
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    CloseHandle(file);

    Handle readOnly =
        CreateFileA(twoDevices.hid.c_str(), kGenericRead, 0, nullptr, kOpenExisting, kOverlappedFlags, nullptr);
    std::vector<uint8_t> out = report(1);
    EXPECT_FALSE(WriteFile(readOnly, out.data(), 65, &count, &request.overlapped));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    CloseHandle(readOnly);
}

TEST(SimulatedHid, SilentDeviceLeavesReadPendingUntilCancelled) {
    sim::HidBehaviour silent;
    silent.kind = sim::HidReportKind::Silent;
    testsupport::TwoDeviceMachine twoDevices(silent);
    sim::Counts before = sim::openCounts();
    Handle file = openExclusive(twoDevices.hid);
    {
        Request read;
        uint32_t count = 123;
        EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
        EXPECT_EQ(GetLastError(), kErrorIoPending);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(WaitForSingleObject(read.overlapped.hEvent, 50), kWaitTimeout);
        EXPECT_FALSE(GetOverlappedResult(file, &read.overlapped, &count, false));
        EXPECT_EQ(GetLastError(), kErrorIoIncomplete);

        EXPECT_TRUE(CancelIo(file));
        EXPECT_EQ(WaitForSingleObject(read.overlapped.hEvent, 0), kWaitObject0);
        EXPECT_FALSE(GetOverlappedResult(file, &read.overlapped, &count, true));
        EXPECT_EQ(GetLastError(), kErrorOperationAborted);
        EXPECT_EQ(read.buffer, std::vector<uint8_t>(65, 0xEE)) << "a cancelled read writes nothing";
    }
    CloseHandle(file);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    EXPECT_EQ(sim::pendingRequests(), 0u);
}

TEST(SimulatedHid, DelayedAnswerCompletesTheReadOnAnotherThread) {
    sim::HidBehaviour slow;
    slow.answerDelayMs = 250;
    testsupport::TwoDeviceMachine twoDevices(slow);
    Handle file = openExclusive(twoDevices.hid);
    Request write, read;
    uint32_t count = 0;
    std::vector<uint8_t> out = report(40);
    ASSERT_TRUE(WriteFile(file, out.data(), 65, &count, &write.overlapped));
    EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
    ASSERT_EQ(GetLastError(), kErrorIoPending);
    EXPECT_EQ(WaitForSingleObject(read.overlapped.hEvent, 20), kWaitTimeout) << "not before the answer delay";
    EXPECT_EQ(WaitForSingleObject(read.overlapped.hEvent, 2000), kWaitObject0);
    EXPECT_TRUE(GetOverlappedResult(file, &read.overlapped, &count, false));
    EXPECT_EQ(count, 65u);
    EXPECT_EQ(read.buffer, out);
    CloseHandle(file);
}

TEST(SimulatedHid, LateCancelKeepsTheRequestPendingUntilItEnds) {
    sim::HidBehaviour lazy;
    lazy.kind = sim::HidReportKind::Silent;
    lazy.cancelDelayMs = 300;
    testsupport::TwoDeviceMachine twoDevices(lazy);
    Handle file = openExclusive(twoDevices.hid);
    {
        Request read;
        uint32_t count = 0;
        EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
        EXPECT_TRUE(CancelIo(file));
        // The cancel was asked for; the request has not ended yet.
        EXPECT_FALSE(GetOverlappedResult(file, &read.overlapped, &count, false));
        EXPECT_EQ(GetLastError(), kErrorIoIncomplete);
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(GetOverlappedResult(file, &read.overlapped, &count, true));
        EXPECT_EQ(GetLastError(), kErrorOperationAborted);
        EXPECT_GE(elapsedMs(start), 50);
    }
    EXPECT_TRUE(sim::misuseReports().empty());
    CloseHandle(file);
}

TEST(SimulatedHid, ClosingTheEventBeforeALateCancelEndsIsReported) {
    sim::HidBehaviour lazy;
    lazy.writesHang = true;
    lazy.cancelDelayMs = 300;
    testsupport::TwoDeviceMachine twoDevices(lazy);
    Handle file = openExclusive(twoDevices.hid);
    auto overlapped = std::make_unique<Overlapped>();
    overlapped->hEvent = CreateEventW(nullptr, true, false, nullptr);
    std::vector<uint8_t> out = report(3);
    uint32_t count = 0;
    EXPECT_FALSE(WriteFile(file, out.data(), 65, &count, overlapped.get()));
    EXPECT_EQ(GetLastError(), kErrorIoPending);
    EXPECT_TRUE(CancelIo(file));
    CloseHandle(overlapped->hEvent);  // too early: the request has not ended
    ASSERT_EQ(sim::misuseReports().size(), 1u);
    overlapped->Internal = 0x5A5A;
    for (int i = 0; i < 300 && sim::pendingRequests() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(sim::pendingRequests(), 0u);
    EXPECT_EQ(overlapped->Internal, 0x5A5Au) << "an orphaned request writes nothing back";
    sim::clearMisuseReports();
    CloseHandle(file);
}

TEST(SimulatedHid, CancelIgnoredRequestEndsWhenTheAnswerComes) {
    sim::HidBehaviour stubborn;
    stubborn.answerDelayMs = 60;
    stubborn.cancelIgnored = true;
    testsupport::TwoDeviceMachine twoDevices(stubborn);
    Handle file = openExclusive(twoDevices.hid);
    Request write, read;
    uint32_t count = 0;
    std::vector<uint8_t> out = report(9);
    ASSERT_TRUE(WriteFile(file, out.data(), 65, &count, &write.overlapped));
    EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
    EXPECT_TRUE(CancelIo(file));
    // The data arrived before the cancel took effect: the read succeeds.
    EXPECT_TRUE(GetOverlappedResult(file, &read.overlapped, &count, true));
    EXPECT_EQ(count, 65u);
    EXPECT_EQ(read.buffer, out);
    CloseHandle(file);
}

TEST(SimulatedHid, CancelIoCancelsOnlyTheCallingThreadsRequests) {
    sim::HidBehaviour silent;
    silent.kind = sim::HidReportKind::Silent;
    testsupport::TwoDeviceMachine twoDevices(silent);
    Handle file = openExclusive(twoDevices.hid);
    Request read;
    uint32_t count = 0;
    EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
    std::thread([file] { EXPECT_TRUE(CancelIo(file)); }).join();
    EXPECT_EQ(WaitForSingleObject(read.overlapped.hEvent, 30), kWaitTimeout);
    // Closing the file ends every request on it.
    CloseHandle(file);
    EXPECT_EQ(WaitForSingleObject(read.overlapped.hEvent, 1000), kWaitObject0);
    EXPECT_EQ(read.overlapped.Internal, 0xC0000120u);  // STATUS_CANCELLED
}

TEST(SimulatedHid, UnplugEndsPendingReadsAndFailsLaterOnes) {
    sim::HidBehaviour silent;
    silent.kind = sim::HidReportKind::Silent;
    testsupport::TwoDeviceMachine twoDevices(silent);
    Handle file = openExclusive(twoDevices.hid);
    Request read;
    uint32_t count = 0;
    EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
    sim::withMachine([](sim::Machine& m) { sim::findPort(m, {0, 2})->device.reset(); });
    EXPECT_FALSE(GetOverlappedResult(file, &read.overlapped, &count, true));
    EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
    EXPECT_FALSE(ReadFile(file, read.buffer.data(), 65, &count, &read.overlapped));
    EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
    CloseHandle(file);
    EXPECT_EQ(openExclusive(twoDevices.hid), invalidHandle());
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}
