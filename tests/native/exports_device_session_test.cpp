// The device methods as the JVM calls them, over a list the walk made of a
// simulated desk: arrays are copied out and back as the JVM does, a null
// array is never pinned, and releasing a list closes its open devices.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "access_fixture.h"
#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "jni/exports.h"
#include "platform/sim/control/sim_control.h"
#include "platform/usb_requests.h"
#include "session/open_device_table.h"

using namespace accesstest;

namespace {

// A Java byte array: GetByteArrayElements hands out a copy, and mode 0
// copies it back and frees it, as HotSpot does.
struct JavaArray {
    std::vector<jbyte> bytes;
    int pins = 0;
};

std::vector<jbyte> javaBytes(const std::vector<uint8_t>& bytes) { return std::vector<jbyte>(bytes.begin(), bytes.end()); }

jbyte* JNICALL copyElements(JNIEnv*, jbyteArray array, jboolean*) {
    if (array == nullptr) {
        ADD_FAILURE() << "a null array was pinned";
        return nullptr;
    }
    auto* a = reinterpret_cast<JavaArray*>(array);
    ++a->pins;
    jbyte* copy = new jbyte[a->bytes.size() + 1];
    std::memcpy(copy, a->bytes.data(), a->bytes.size());
    return copy;
}

void JNICALL releaseElements(JNIEnv*, jbyteArray array, jbyte* elements, jint mode) {
    auto* a = reinterpret_cast<JavaArray*>(array);
    EXPECT_EQ(mode, 0);
    std::memcpy(a->bytes.data(), elements, a->bytes.size());
    delete[] elements;
}

jsize JNICALL lengthOf(JNIEnv*, jarray array) {
    if (array == nullptr) {
        ADD_FAILURE() << "the length of a null array was asked";
        return 0;
    }
    return static_cast<jsize>(reinterpret_cast<JavaArray*>(array)->bytes.size());
}

class DeviceMethodsOverAList : public DeviceAccessTest {
protected:
    void SetUp() override {
        releaseWalkState();
        DeviceAccessTest::SetUp();
        std::memset(&functions_, 0, sizeof functions_);
        functions_.GetByteArrayElements = copyElements;
        functions_.ReleaseByteArrayElements = releaseElements;
        functions_.GetArrayLength = lengthOf;
        env_.functions = &functions_;
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
        TAMBERLYX_METHOD(usbReleaseDeviceList)(&env_, nullptr, listId);
        openDeviceTable().clear();
        // What the walk keeps between walks.
        releaseWalkState();
        DeviceAccessTest::TearDown();
    }

    static jbyteArray java(JavaArray& array) { return reinterpret_cast<jbyteArray>(&array); }

    JNINativeInterface_ functions_;
    JNIEnv env_;
    JNIEnv* env = &env_;
    int32_t listId = -1, loopback = -1, hid = -1;
};

TEST_F(DeviceMethodsOverAList, AListedDeviceIsOpenedMovesDataAndIsClosed) {
    sim::Counts listed = sim::openCounts();
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, loopback), Success);
    ASSERT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), Success);
    EXPECT_EQ(TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid), AlreadyOpen);
    EXPECT_EQ(openDeviceTable()[listId].size(), 2u);

    JavaArray out{javaBytes(pattern(300, 21))};
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, listId, loopback, 1, 300, 500, java(out)), 300);
    JavaArray in{std::vector<jbyte>(300, 0)};
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, listId, loopback, 1, 300, 500, java(in)), 300);
    EXPECT_EQ(in.bytes, out.bytes);

    JavaArray report{javaBytes(pattern(64, 99))};
    JavaArray echoed{std::vector<jbyte>(64, 0)};
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, java(report)), 65);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, java(echoed)), 65);
    EXPECT_EQ(echoed.bytes, report.bytes);

    JavaArray descriptor{std::vector<jbyte>(18, 0)};
    EXPECT_EQ(TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, hid, 1, 0, 18, java(descriptor)), 0);
    platform::UsbDeviceDescriptor model = device(kHidProduct).descriptor;
    EXPECT_EQ(0, std::memcmp(descriptor.bytes.data(), &model, 18));
    JavaArray product{std::vector<jbyte>(16, 0x7F)};
    EXPECT_EQ(TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, hid, 3, 2, 16, java(product)), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(product.bytes.data()), "Pad");

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
    // functions (this environment's fail the test when given a null array).
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
    JavaArray report{std::vector<jbyte>(64, 0x5A)};
    JavaArray bytes{std::vector<jbyte>(8 + 16, 0)};
    bytes.bytes[0] = static_cast<jbyte>(0xC0);  // a vendor request, device to host

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, l, h, 0, 64, 5000, java(report)), ReadFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, l, h, 0, 64, 5000, java(report)),
              TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, l, w, 1, 16, 5000, java(bytes)), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, l, w, 1, 16, 5000, java(bytes)), TransferFailed);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReadControlPipe)(env, nullptr, l, w, 16, 0, java(bytes)), ReadFailed);
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(report.bytes, std::vector<jbyte>(64, 0x5A)) << "a failed read leaves the array alone";

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
