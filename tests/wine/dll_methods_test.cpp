// Tamberlyx.dll loaded as a JVM on Windows loads it, over Wine's machine
// (which has no USB host controllers): the access handle, list creation on
// an empty machine, and device methods on devices that are not open.
#include <gtest/gtest.h>

#include "child_tasks.h"
#include "fake_jvm.h"
#include "platform/kernel.h"
#include "tamberlyx_dll.h"

namespace {

class TamberlyxDllTest : public testing::Test {
protected:
    void SetUp() override {
        std::string problem;
        dll = tamberlyx(&problem);
        ASSERT_NE(dll, nullptr) << problem;
        env = jvm.env();
    }

    // Brings the process's access handle to 0, whatever earlier tests left.
    jint initialized() {
        jint result = dll->usbInitialize(env, nullptr);
        return result == -115 ? 0 : result;
    }

    TamberlyxDll* dll = nullptr;
    FakeJvm jvm;
    JNIEnv* env = nullptr;
};

TEST_F(TamberlyxDllTest, LoadsUnderItsOwnNameAndAnswersToIt) {
    // The library finds itself by this name (companion program,
    // configuration file).
    EXPECT_EQ(platform::GetModuleHandleA("Tamberlyx.dll"), dll->module);
}

TEST_F(TamberlyxDllTest, AccessHandleOfAFreshProcess) {
    EXPECT_EQ(runChild({"fresh-handle"}), 0) << "the child printed the step that went wrong";
}

TEST_F(TamberlyxDllTest, ListsOnAMachineWithoutHostControllersAreEmpty) {
    jint handle = initialized();
    ASSERT_EQ(handle, 0);
    jint all = dll->usbCreateDeviceList(env, nullptr, handle, 0xFFFF);
    ASSERT_GE(all, 0);
    EXPECT_EQ(dll->usbGetDeviceListCount(env, nullptr, all), 0);
    jint oneVendor = dll->usbCreateDeviceList(env, nullptr, handle, 0x16C0);
    ASSERT_GE(oneVendor, 0);
    EXPECT_EQ(dll->usbGetDeviceListCount(env, nullptr, oneVendor), 0);
    EXPECT_EQ(dll->usbGetDeviceListCount(env, nullptr, 987654), 0);
    EXPECT_EQ(dll->usbCreateDeviceList(env, nullptr, handle + 1, 0xFFFF), -116);
    EXPECT_EQ(dll->usbOpenDevice(env, nullptr, all, 0), -114);
    EXPECT_EQ(dll->usbOpenDevice(env, nullptr, all, -1), -114);
    EXPECT_EQ(dll->usbRelease(env, nullptr, handle), 0);
}

TEST_F(TamberlyxDllTest, DeviceMethodsOnDevicesNotOpenLeaveTheArrayAlone) {
    const std::vector<jbyte> pattern = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    jbyteArray data = jvm.newByteArray(pattern);
    const std::pair<jint, jint> unknownDevices[] = {{0, 0}, {3, 7}, {-1, -1}, {0x7FFFFFFF, 0}};
    for (auto [list, index] : unknownDevices) {
        SCOPED_TRACE("list " + std::to_string(list) + ", index " + std::to_string(index));
        EXPECT_EQ(dll->usbOpenDevice(env, nullptr, list, index), -114);
        EXPECT_EQ(dll->usbCloseDevice(env, nullptr, list, index), -114);
        EXPECT_EQ(dll->usbResetDevice(env, nullptr, list, index), -114);
        EXPECT_EQ(dll->usbWriteControlPipe(env, nullptr, list, index, 8, 0, data), -114);
        EXPECT_EQ(dll->usbReadControlPipe(env, nullptr, list, index, 8, 0, data), -114);
        EXPECT_EQ(dll->usbWriteBulkPipe(env, nullptr, list, index, 1, 16, 100, data), -114);
        EXPECT_EQ(dll->usbReadBulkPipe(env, nullptr, list, index, 1, 16, 100, data), -114);
        EXPECT_EQ(dll->usbWriteInterruptPipe(env, nullptr, list, index, 1, 16, 100, data), -114);
        EXPECT_EQ(dll->usbReadInterruptPipe(env, nullptr, list, index, 1, 16, 100, data), -114);
        EXPECT_EQ(dll->usbCancelPipeTransfer(env, nullptr, list, index, 1), -114);
        EXPECT_EQ(dll->usbGetDeviceDescriptor(env, nullptr, list, index, 1, 0, 16, data), -114);
    }
    EXPECT_EQ(jvm.bytesOf(data), pattern);
    EXPECT_EQ(jvm.pinsTaken(), 0) << "an unknown device must not pin the caller's array";
    EXPECT_EQ(jvm.faults(), 0);
}

}  // namespace
