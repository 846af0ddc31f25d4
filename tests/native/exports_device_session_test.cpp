// The device methods as the JVM calls them, over a list the walk made of a
// simulated machine: arrays are copied out and back as the JVM does, a null
// array is never pinned, and releasing a list closes its open devices.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "access_fixture.h"
#include "fake_jvm.h"
#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "jni/exports.h"
#include "platform/sim/control/sim_control.h"
#include "platform/usb_requests.h"
#include "session/open_device_table.h"

using namespace testsupport;

namespace {

std::vector<jbyte> javaBytes(const std::vector<uint8_t>& bytes) { return std::vector<jbyte>(bytes.begin(), bytes.end()); }

class DeviceMethodsOverAList : public DeviceAccessTest {
protected:
    void SetUp() override {
        releaseWalkState();
        DeviceAccessTest::SetUp();
        listId = DeviceListRegistry::create(kVendor);
        ASSERT_GE(listId, 0);
        for (int32_t i = 0; DeviceEntry* e = DeviceListRegistry::entryAt(listId, i); ++i) {
            if (e->productId == kLoopbackProduct) loopback = i;
            if (e->productId == kHidProduct) hid = i;
        }
        ASSERT_GE(loopback, 0);
        ASSERT_GE(hid, 0);
    }
    void TearDown() override {
        TAMBERLYX_METHOD(usbReleaseDeviceList)(env, nullptr, listId);
        // Every array pinned was given back, in mode 0 (bytes copied back),
        // and no null array reached the JNI functions.
        EXPECT_EQ(jvm.pinsOutstanding(), 0);
        EXPECT_EQ(jvm.faults(), 0);
        for (jint mode : jvm.releaseModes()) EXPECT_EQ(mode, 0);
        openDeviceTable().clear();
        // What the walk keeps between walks.
        releaseWalkState();
        DeviceAccessTest::TearDown();
    }

    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    int32_t listId = -1, loopback = -1, hid = -1;
};

TEST_F(DeviceMethodsOverAList, AListedDeviceIsOpenedMovesDataAndIsClosed) {
    sim::Counts listed = sim::openCounts();
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, loopback), Success);
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), AlreadyOpen);
    EXPECT_EQ(openDeviceTable()[listId].size(), 2u);

    jbyteArray out = jvm.newByteArray(javaBytes(pattern(300, 21)));
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, listId, loopback, 1, 300, 500, out), 300);
    jbyteArray in = jvm.newByteArray(std::vector<jbyte>(300, 0));
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, listId, loopback, 1, 300, 500, in), 300);
    EXPECT_EQ(jvm.bytesOf(in), jvm.bytesOf(out));

    jbyteArray report = jvm.newByteArray(javaBytes(pattern(64, 99)));
    jbyteArray echoed = jvm.newByteArray(std::vector<jbyte>(64, 0));
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, report), 65);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, echoed), 65);
    EXPECT_EQ(jvm.bytesOf(echoed), jvm.bytesOf(report));

    jbyteArray descriptor = jvm.newByteArray(std::vector<jbyte>(18, 0));
    EXPECT_EQ(TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, hid, 1, 0, 18, descriptor), 0);
    platform::UsbDeviceDescriptor model = device(kHidProduct).descriptor;
    EXPECT_EQ(0, std::memcmp(jvm.bytesOf(descriptor).data(), &model, 18));
    jbyteArray product = jvm.newByteArray(std::vector<jbyte>(16, 0x7F));
    EXPECT_EQ(TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, hid, 3, 2, 16, product), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(jvm.bytesOf(product).data()), "Pad");

    EXPECT_EQ(TAMBERLYX_METHOD(usbResetDevice)(env, nullptr, listId, loopback), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbCancelPipeTransfer)(env, nullptr, listId, loopback, 0x81), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, loopback), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, hid), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, hid), NoSuchDevice);
    EXPECT_TRUE(openDeviceTable().empty());
    EXPECT_EQ(sim::openCounts(), listed) << sim::describe(sim::openCounts());
}

TEST_F(DeviceMethodsOverAList, NullArraysAreRefusedWithoutBeingPinned) {
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, loopback), Success);
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), Success);
    int32_t l = listId, w = loopback, h = hid;

    // Refused before the device is asked, and never handed to the JNI
    // functions (the fixture's check of the environment's faults would show it).
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteControlPipe)(env, nullptr, l, w, 0, 0, nullptr), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadControlPipe)(env, nullptr, l, w, 0, 0, nullptr), ReadFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, l, w, 1, 0, 100, nullptr), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, l, w, 1, 0, 100, nullptr), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, l, h, 0, 64, 100, nullptr), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, l, h, 0, 64, 100, nullptr), ReadFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, l, h, 1, 0, 18, nullptr), NoSuchDevice);

}

// Devices pulled out while open: every transfer is refused by the system at
// once, and each method answers its failure value at once, long before its
// time-out (a wait for a request that never started would never end).
TEST_F(DeviceMethodsOverAList, DevicesThatFailAtOnceAnswerAtOnce) {
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, loopback), Success);
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), Success);
    ASSERT_TRUE(sim::unplugDevice({0, 1}));
    ASSERT_TRUE(sim::unplugDevice({0, 2}));
    int32_t l = listId, w = loopback, h = hid;
    jbyteArray report = jvm.newByteArray(std::vector<jbyte>(64, 0x5A));
    std::vector<jbyte> request(8 + 16, 0);
    request[0] = static_cast<jbyte>(0xC0);  // a vendor request, device to host
    jbyteArray bytes = jvm.newByteArray(request);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, l, h, 0, 64, 5000, report), ReadFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, l, h, 0, 64, 5000, report),
              TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, l, w, 1, 16, 5000, bytes), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, l, w, 1, 16, 5000, bytes), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadControlPipe)(env, nullptr, l, w, 16, 0, bytes), ReadFailed);
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(jvm.bytesOf(report), std::vector<jbyte>(64, 0x5A)) << "a failed read leaves the array alone";

    EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, l, w), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, l, h), Success);
}

TEST_F(DeviceMethodsOverAList, ReleasingAListClosesItsOpenDevicesFirst) {
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, loopback), Success);
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), Success);
    EXPECT_EQ(sim::openCounts().winUsbInterfaces, before.winUsbInterfaces + 1);

    EXPECT_EQ(TAMBERLYX_METHOD(usbReleaseDeviceList)(env, nullptr, listId), Success);
    EXPECT_TRUE(openDeviceTable().empty());
    EXPECT_EQ(findOpenDevice(listId, loopback), nullptr);
    releaseWalkState();
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    // The devices are free again for whoever opens them next.
    platform::Handle again = platform::CreateFileA(winUsbPath().c_str(), platform::kGenericRead, 0, nullptr,
                                                   platform::kOpenExisting, 0, nullptr);
    EXPECT_TRUE(platform::isValidHandle(again));
    platform::CloseHandle(again);
}

}  // namespace
