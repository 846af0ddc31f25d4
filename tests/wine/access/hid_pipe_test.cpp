// Device access over the real platform layer: a named pipe served by the
// test stands in for a HID device, so that the overlapped report writes and
// reads, their time-outs and their cancellation meet the system's own I/O.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "access/winusb_api.h"
#include "base/device_entry.h"
#include "base/status_code.h"
#include "platform/usb_requests.h"
#include "platform/kernel.h"
#include "pipe_device.h"

namespace {

using standin::PipeDevice;

// An entry as a list holds it, closed, naming the pipe as its HID path.
struct PipeEntry {
    std::string path;
    DeviceEntry entry{};
    PipeEntry(const std::string& pipePath, bool hid) : path(pipePath) {
        (hid ? entry.hidPath : entry.devicePath) = &path[0];
        entry.isHid = hid ? 1 : 0;
        entry.fileHandle = platform::invalidHandle();
    }
    ~PipeEntry() {
        if (entry.isOpen == 1) entry.close();
    }
};

std::string pipeName(const char* what) {
    return "tamberlyx-access-" + std::to_string(platform::GetTickCount()) + "-" + what;
}

std::vector<uint8_t> pattern(uint8_t seed) {
    std::vector<uint8_t> bytes(64);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(seed + i * 5);
    return bytes;
}

long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// Waits for a condition that other threads bring about: the pipe waiting
// for its next client, a handle the system held for a moment let go.
template <typename Condition>
bool eventually(Condition condition) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool settlesAt(uint32_t handles) {
    return eventually([handles] { return standin::processHandleCount() == handles; });
}

// Counts of the process's handles are compared only after the system has
// made what it makes lazily on a process's first overlapped and cancelled
// pipe I/O: one untested round of both comes first.
class Win32HidOverAPipe : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (auto answer : {PipeDevice::Answer::Echo, PipeDevice::Answer::Silent}) {
            auto device = PipeDevice::serve(pipeName("warm-up"), answer);
            if (device == nullptr) return;
            PipeEntry pipe(device->path(), true);
            if (pipe.entry.open() != Success) continue;
            std::vector<uint8_t> bytes(64, 0);
            pipe.entry.writeInterruptPipe(0, 64, 1000, bytes.data(), 64);
            pipe.entry.readInterruptPipe(0, 64, 20, bytes.data(), 64);
        }
    }
};

TEST_F(Win32HidOverAPipe, AFullReportGoesOutAndComesBack) {
    auto device = PipeDevice::serve(pipeName("echo"), PipeDevice::Answer::Echo);
    ASSERT_NE(device, nullptr);
    uint32_t handles = standin::processHandleCount();
    PipeEntry pipe(device->path(), true);
    ASSERT_EQ(pipe.entry.open(), Success);
    EXPECT_TRUE(settlesAt(handles + 1)) << "the open file only";

    // Opened without sharing: a second open is refused.
    PipeEntry second(device->path(), true);
    EXPECT_EQ(second.entry.open(), OpenFailed);

    for (uint8_t seed : {1, 100, 200}) {
        std::vector<uint8_t> sent = pattern(seed);
        EXPECT_EQ(pipe.entry.writeInterruptPipe(0, 64, 2000, sent.data(), 64), 65);
        std::vector<uint8_t> received(64, 0);
        EXPECT_EQ(pipe.entry.readInterruptPipe(0, 64, 2000, received.data(), 64), 65);
        EXPECT_EQ(received, sent);
        // On the wire (seen once the echo came back): report id 0, then the
        // 64 data bytes.
        std::vector<uint8_t> wire = {0};
        wire.insert(wire.end(), sent.begin(), sent.end());
        EXPECT_EQ(device->lastReport(), wire);
    }
    EXPECT_EQ(device->reportsTaken(), 3);
    EXPECT_TRUE(settlesAt(handles + 1)) << "each transfer closes its event";
    EXPECT_EQ(pipe.entry.close(), Success);
    EXPECT_TRUE(settlesAt(handles));

    // Closed means let go of: the device opens again.
    EXPECT_TRUE(eventually([&] { return second.entry.open() == Success; }));
    EXPECT_EQ(second.entry.close(), Success);
}

TEST_F(Win32HidOverAPipe, ADeviceThatNeverAnswersTimesOutInTime) {
    auto device = PipeDevice::serve(pipeName("silent"), PipeDevice::Answer::Silent);
    ASSERT_NE(device, nullptr);
    uint32_t handles = standin::processHandleCount();
    PipeEntry pipe(device->path(), true);
    ASSERT_EQ(pipe.entry.open(), Success);

    std::vector<uint8_t> sent = pattern(7);
    EXPECT_EQ(pipe.entry.writeInterruptPipe(0, 64, 2000, sent.data(), 64), 65);
    EXPECT_TRUE(eventually([&] { return device->reportsTaken() == 1; }));
    EXPECT_EQ(device->lastReport().size(), 65u);
    std::vector<uint8_t> data(64, 0x5A);
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(pipe.entry.readInterruptPipe(0, 64, 200, data.data(), 64), TimedOut);
        long elapsed = millisecondsSince(start);
        EXPECT_GE(elapsed, 190);
        EXPECT_LT(elapsed, 200 + 800);
        EXPECT_EQ(pipe.entry.lastError, 997u);
        EXPECT_EQ(data, std::vector<uint8_t>(64, 0x5A));
    }
    EXPECT_TRUE(settlesAt(handles + 1));
    EXPECT_EQ(pipe.entry.close(), Success);
    EXPECT_TRUE(settlesAt(handles));
}

// A device that fails every request at once: each transfer answers its
// failure value at once, long before its time-out, and leaves the caller's
// bytes alone.
void expectImmediateFailures(DeviceEntry& entry, uint32_t* lastError) {
    std::vector<uint8_t> data(64, 0x5A);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(entry.readInterruptPipe(0, 64, 3000, data.data(), 64), ReadFailed);
    *lastError = entry.lastError;
    EXPECT_EQ(entry.writeInterruptPipe(0, 64, 3000, data.data(), 64), TransferFailed);
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(data, std::vector<uint8_t>(64, 0x5A));
}

TEST_F(Win32HidOverAPipe, ADeviceThatWentAwayOrAClosedHandleFailsAtOnce) {
    uint32_t handles = standin::processHandleCount();
    auto device = PipeDevice::serve(pipeName("gone"), PipeDevice::Answer::Echo);
    ASSERT_NE(device, nullptr);
    {
        PipeEntry pipe(device->path(), true);
        ASSERT_EQ(pipe.entry.open(), Success);
        device.reset();  // the server hangs up, as a device pulled out
        uint32_t error = 0;
        expectImmediateFailures(pipe.entry, &error);
        EXPECT_NE(error, 0u);
        EXPECT_NE(error, 997u) << "refused at once, not pending";
    }
    EXPECT_TRUE(settlesAt(handles)) << "nothing of the transfers is left";

    device = PipeDevice::serve(pipeName("closed"), PipeDevice::Answer::Echo);
    ASSERT_NE(device, nullptr);
    PipeEntry pipe(device->path(), true);
    ASSERT_EQ(pipe.entry.open(), Success);
    platform::CloseHandle(pipe.entry.fileHandle);
    uint32_t error = 0;
    expectImmediateFailures(pipe.entry, &error);
    EXPECT_EQ(error, 6u);  // ERROR_INVALID_HANDLE
    // The handle is already gone: the entry must not close it again.
    pipe.entry.fileHandle = platform::invalidHandle();
    pipe.entry.isOpen = 0;
}

TEST_F(Win32HidOverAPipe, WithoutWinUsbEntryPointsWinUsbOperationsFailAtOnce) {
    auto device = PipeDevice::serve(pipeName("no-winusb"), PipeDevice::Answer::Echo);
    ASSERT_NE(device, nullptr);
    WinUsbApi loaded = winUsbApi;
    winUsbApi = WinUsbApi{};
    PipeEntry winUsb(device->path(), false);
    EXPECT_EQ(winUsb.entry.open(), WinUsbInitFailed);
    EXPECT_EQ(winUsb.entry.lastError, 127u);  // ERROR_PROC_NOT_FOUND
    EXPECT_EQ(winUsb.entry.fileHandle, platform::invalidHandle()) << "the file opened for the attempt is closed";

    auto hidDevice = PipeDevice::serve(pipeName("no-winusb-hid"), PipeDevice::Answer::Echo);
    ASSERT_NE(hidDevice, nullptr);
    PipeEntry hid(hidDevice->path(), true);
    ASSERT_EQ(hid.entry.open(), Success);
    std::vector<uint8_t> data(8 + 16, 0);
    data[0] = 0xC0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(hid.entry.readBulkPipe(1, 16, 3000, data.data(), 16), TransferFailed);
    EXPECT_EQ(hid.entry.writeBulkPipe(1, 16, 3000, data.data(), 16), TransferFailed);
    EXPECT_EQ(hid.entry.readControlPipe(16, 0, data.data(), 24), ReadFailed);
    EXPECT_EQ(hid.entry.lastError, 127u);
    EXPECT_EQ(hid.entry.cancelPipeTransfer(0x81), Success);
    EXPECT_LT(millisecondsSince(start), 1000);
    winUsbApi = loaded;
}

}  // namespace
