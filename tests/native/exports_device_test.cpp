// The device methods as the JVM calls them, through a JNI environment that
// records every array call: unknown devices are refused before the caller's
// array is touched, and a recorded device gets its array pinned once and
// given back in mode 0.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/status_code.h"
#include "fake_jvm.h"
#include "jni/exports.h"
#include "session/open_device_table.h"

namespace {

class ExportedDeviceMethods : public testing::Test {
protected:
    void SetUp() override { openDeviceTable().clear(); }
    void TearDown() override { openDeviceTable().clear(); }

    // The nine methods that need an open device, each called on one pair.
    using Call = std::function<jint(jint listId, jint index)>;
    std::vector<Call> theNine() {
        JNIEnv* env = jvm_.env();
        jbyteArray data = array_;
        return {
            [=](jint l, jint i) { return TAMBERLYX_METHOD(usbResetDevice)(env, nullptr, l, i); },
            [=](jint l, jint i) { return TAMBERLYX_METHOD(usbWriteControlPipe)(env, nullptr, l, i, 4, 0, data); },
            [=](jint l, jint i) { return TAMBERLYX_METHOD(usbReadControlPipe)(env, nullptr, l, i, 4, 0, data); },
            [=](jint l, jint i) { return TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, l, i, 1, 8, 100, data); },
            [=](jint l, jint i) { return TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, l, i, 1, 8, 100, data); },
            [=](jint l, jint i) {
                return TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, l, i, 0, 64, 100, data);
            },
            [=](jint l, jint i) {
                return TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, l, i, 0, 64, 100, data);
            },
            [=](jint l, jint i) { return TAMBERLYX_METHOD(usbCancelPipeTransfer)(env, nullptr, l, i, 0x81); },
            [=](jint l, jint i) {
                return TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, l, i, 1, 0, 18, data);
            },
        };
    }

    FakeJvm jvm_;
    jbyteArray array_ = jvm_.newByteArray(std::vector<jbyte>(256, 0));
};

TEST_F(ExportedDeviceMethods, UnknownDevicesAreRefusedWithoutTouchingTheArray) {
    for (auto [listId, index] : {std::pair<jint, jint>{0, 0}, {3, -1}, {-1, 7}, {0x7FFFFFFF, 0x7FFFFFFF}}) {
        for (const Call& call : theNine()) EXPECT_EQ(call(listId, index), NoSuchDevice);
        EXPECT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(jvm_.env(), nullptr, listId, index), NoSuchDevice);
        EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(jvm_.env(), nullptr, listId, index), NoSuchDevice);
    }
    EXPECT_EQ(jvm_.pinsTaken(), 0);
    EXPECT_TRUE(jvm_.releaseModes().empty());
    EXPECT_TRUE(openDeviceTable().empty());
}

TEST_F(ExportedDeviceMethods, ARecordedDeviceGetsItsArrayPinnedOnceAndGivenBackInModeZero) {
    DeviceEntry entry{};
    openDeviceTable()[5][2] = &entry;

    // Each result is what the device operation itself returned.
    for (const Call& call : theNine()) {
        entry.lastResult = 12345;
        EXPECT_EQ(call(5, 2), entry.lastResult);
        EXPECT_NE(entry.lastResult, 12345);
    }
    // Seven of the nine carry an array: pinned without a copy flag, and
    // released in mode 0 (bytes copied back) for writes and reads alike.
    EXPECT_EQ(jvm_.pinsTaken(), 7);
    EXPECT_EQ(jvm_.pinsOutstanding(), 0);
    EXPECT_EQ(jvm_.copyFlagsAsked(), 0);
    EXPECT_EQ(jvm_.releaseModes(), std::vector<jint>(7, 0));
    EXPECT_EQ(jvm_.faults(), 0);
    // The same pair under another list or index is still unknown.
    EXPECT_EQ(TAMBERLYX_METHOD(usbResetDevice)(jvm_.env(), nullptr, 5, 3), NoSuchDevice);
    EXPECT_EQ(TAMBERLYX_METHOD(usbResetDevice)(jvm_.env(), nullptr, 2, 5), NoSuchDevice);
}

TEST_F(ExportedDeviceMethods, CloseForgetsThePairWhateverTheCloseReturned) {
    DeviceEntry entry{};  // not open: its close fails
    openDeviceTable()[1][0] = &entry;
    DeviceEntry other{};
    openDeviceTable()[1][4] = &other;

    jint first = TAMBERLYX_METHOD(usbCloseDevice)(jvm_.env(), nullptr, 1, 0);
    EXPECT_EQ(first, entry.lastResult);
    EXPECT_EQ(findOpenDevice(1, 0), nullptr);
    EXPECT_EQ(findOpenDevice(1, 4), &other);
    EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(jvm_.env(), nullptr, 1, 0), NoSuchDevice);
}

}  // namespace
