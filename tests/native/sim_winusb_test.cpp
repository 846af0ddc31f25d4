// The simulated "winusb.dll": module references, missing entry points, and
// transfers on WinUSB devices: loopback, time-outs, aborts from another
// thread, stalls, control requests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "access/winusb_api.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/devices/hid_device.h"
#include "platform/sim/devices/winusb_device.h"
#include "platform/sim/model/bench.h"
#include "platform/usb_requests.h"
#include "transfer_fixture.h"

using namespace platform;

namespace {

// The nine entry points, resolved the way the library resolves them.
struct WinUsb {
    Module module = nullptr;
    platform::WinUsbInitializeFn initialize = nullptr;
    platform::WinUsbReadPipeFn readPipe = nullptr;
    platform::WinUsbWritePipeFn writePipe = nullptr;
    platform::WinUsbSetPipePolicyFn setPipePolicy = nullptr;
    platform::WinUsbFreeFn free = nullptr;
    platform::WinUsbAbortPipeFn abortPipe = nullptr;
    platform::WinUsbControlTransferFn controlTransfer = nullptr;
    platform::WinUsbQueryDeviceInformationFn query = nullptr;

    WinUsb() {
        module = LoadLibraryA("winusb.dll");
        initialize = reinterpret_cast<platform::WinUsbInitializeFn>(GetProcAddress(module, "WinUsb_Initialize"));
        readPipe = reinterpret_cast<platform::WinUsbReadPipeFn>(GetProcAddress(module, "WinUsb_ReadPipe"));
        writePipe = reinterpret_cast<platform::WinUsbWritePipeFn>(GetProcAddress(module, "WinUsb_WritePipe"));
        setPipePolicy = reinterpret_cast<platform::WinUsbSetPipePolicyFn>(GetProcAddress(module, "WinUsb_SetPipePolicy"));
        free = reinterpret_cast<platform::WinUsbFreeFn>(GetProcAddress(module, "WinUsb_Free"));
        abortPipe = reinterpret_cast<platform::WinUsbAbortPipeFn>(GetProcAddress(module, "WinUsb_AbortPipe"));
        controlTransfer =
            reinterpret_cast<platform::WinUsbControlTransferFn>(GetProcAddress(module, "WinUsb_ControlTransfer"));
        query = reinterpret_cast<platform::WinUsbQueryDeviceInformationFn>(
            GetProcAddress(module, "WinUsb_QueryDeviceInformation"));
    }
    ~WinUsb() {
        if (module != nullptr) FreeLibrary(module);
    }
    void timeout(void* iface, uint8_t pipe, uint32_t ms) {
        setPipePolicy(iface, pipe, kPipeTransferTimeout, sizeof ms, &ms);
    }
};

// An open WinUSB device: file handle and interface handle, released in the
// order WinUSB wants.
struct OpenDevice {
    WinUsb& api;
    Handle file;
    void* iface = nullptr;
    OpenDevice(WinUsb& winUsb, const std::string& path) : api(winUsb) {
        file = CreateFileA(path.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting,
                           kFileFlagOverlapped | kFileAttributeNormal, nullptr);
        if (isValidHandle(file)) api.initialize(file, &iface);
    }
    ~OpenDevice() {
        if (iface != nullptr) api.free(iface);
        if (isValidHandle(file)) CloseHandle(file);
    }
};

class SimulatedWinUsb : public ::testing::Test {
protected:
    void SetUp() override { sim::restoreModules(); }
    void TearDown() override {
        sim::restoreModules();
        EXPECT_TRUE(sim::misuseReports().empty()) << sim::misuseReports().front();
    }
    testsupport::TwoDeviceMachine twoDevices;
};

WinUsbSetupPacket setup(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
    return WinUsbSetupPacket{type, request, value, index, length};
}

}  // namespace

TEST_F(SimulatedWinUsb, ModuleIsReferenceCountedAndFoundByHandleWhileLoaded) {
    sim::Counts before = sim::openCounts();
    Module first = LoadLibraryA("winusb.dll");
    Module second = LoadLibraryA("WINUSB");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(sim::moduleReferences("winusb.dll"), 2);
    EXPECT_EQ(sim::openCounts().modules, before.modules + 2);
    EXPECT_EQ(GetModuleHandleA("winusb.dll"), first);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(second, "WinUsb_ReadPipe"), nullptr) << "one reference still holds it";
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(GetModuleHandleA("winusb.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(first, "WinUsb_ReadPipe"), nullptr) << "a released module has no entry points";
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
}

TEST_F(SimulatedWinUsb, AbsentModuleAndMissingEntryPoint) {
    sim::setModuleAvailable("winusb.dll", false);
    EXPECT_EQ(LoadLibraryA("winusb.dll"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorModNotFound);
    sim::restoreModules();
    sim::setEntryPointAvailable("winusb.dll", "WinUsb_AbortPipe", false);
    WinUsb api;
    ASSERT_NE(api.module, nullptr);
    EXPECT_EQ(api.abortPipe, nullptr);
    EXPECT_EQ(GetLastError(), kErrorProcNotFound);
    EXPECT_NE(api.readPipe, nullptr);
    EXPECT_EQ(GetProcAddress(api.module, "WinUsb_NoSuchThing"), nullptr);
}

TEST_F(SimulatedWinUsb, BenchCanLeaveOutTheModuleOrSomeOfItsEntryPoints) {
    sim::Machine machine;
    std::string error;
    ASSERT_TRUE(sim::parseBench(R"({"winusbDll": {"present": false}})", "b.json", &machine, &error)) << error;
    sim::installMachine(machine);
    EXPECT_EQ(LoadLibraryA("winusb.dll"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorModNotFound);

    ASSERT_TRUE(sim::parseBench(R"({"winusbDll": {"missingEntryPoints": ["WinUsb_Free"]}})", "b.json", &machine,
                                &error))
        << error;
    sim::installMachine(machine);
    WinUsb api;
    ASSERT_NE(api.module, nullptr);
    EXPECT_EQ(api.free, nullptr);
    EXPECT_NE(api.initialize, nullptr);
    EXPECT_FALSE(sim::parseBench(R"({"winusbDll": {"present": "no"}})", "b.json", &machine, &error));
}

TEST_F(SimulatedWinUsb, CallingAnEntryPointAfterTheModuleWasReleasedIsReported) {
    platform::WinUsbAbortPipeFn abort;
    {
        WinUsb api;
        abort = api.abortPipe;
    }
    EXPECT_FALSE(abort(reinterpret_cast<void*>(0x1234), 0x81));
    ASSERT_EQ(sim::misuseReports().size(), 1u);
    sim::clearMisuseReports();
}

TEST_F(SimulatedWinUsb, InitializeOnlyOnAWinUsbInterfaceHandle) {
    WinUsb api;
    void* iface = nullptr;
    EXPECT_FALSE(api.initialize(reinterpret_cast<Handle>(0x4444), &iface));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    Handle hid = CreateFileA(twoDevices.hid.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting,
                             kFileFlagOverlapped, nullptr);
    EXPECT_FALSE(api.initialize(hid, &iface));
    EXPECT_EQ(GetLastError(), kErrorNotSupported);
    CloseHandle(hid);
    EXPECT_FALSE(api.readPipe(nullptr, 0x81, nullptr, 0, nullptr, nullptr)) << "a null interface handle";
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);

    sim::Counts before = sim::openCounts();
    {
        OpenDevice device(api, twoDevices.winUsb);
        ASSERT_NE(device.iface, nullptr);
        EXPECT_EQ(sim::openCounts().winUsbInterfaces, before.winUsbInterfaces + 1);
        uint8_t speed = 0;
        uint32_t length = 1;
        EXPECT_TRUE(api.query(device.iface, 1, &length, &speed));
        EXPECT_EQ(speed, 3);
    }
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
}

TEST_F(SimulatedWinUsb, LoopbackReturnsWhatWasWrittenAndKeepsWhatDidNotFit) {
    WinUsb api;
    OpenDevice device(api, twoDevices.winUsb);
    std::vector<uint8_t> out = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    uint32_t count = 0;
    ASSERT_TRUE(api.writePipe(device.iface, 0x01, out.data(), 10, &count, nullptr));
    EXPECT_EQ(count, 10u);
    uint8_t in[16] = {};
    ASSERT_TRUE(api.readPipe(device.iface, 0x81, in, 4, &count, nullptr));
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 4), std::vector<uint8_t>({1, 2, 3, 4}));
    ASSERT_TRUE(api.readPipe(device.iface, 0x81, in, 16, &count, nullptr));
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(in[0], 5);
    EXPECT_FALSE(api.readPipe(device.iface, 0x01, in, 16, &count, nullptr)) << "reading an OUT pipe";
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(api.writePipe(device.iface, 0x02, out.data(), 1, &count, nullptr)) << "no such pipe";
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(SimulatedWinUsb, PipeTimeoutEndsAReadThatGetsNoData) {
    WinUsb api;
    OpenDevice device(api, twoDevices.winUsb);
    api.timeout(device.iface, 0x81, 60);
    uint8_t in[8];
    uint32_t count = 99;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(api.readPipe(device.iface, 0x81, in, 8, &count, nullptr));
    EXPECT_EQ(GetLastError(), kErrorSemTimeout);
    EXPECT_EQ(count, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55));
    uint32_t wrongSize = 60;
    EXPECT_FALSE(api.setPipePolicy(device.iface, 0x81, kPipeTransferTimeout, 2, &wrongSize));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(SimulatedWinUsb, AbortFromAnotherThreadEndsABlockedRead) {
    WinUsb api;
    OpenDevice device(api, twoDevices.winUsb);
    auto running = sim::winUsbDeviceAt(twoDevices.winUsb);
    uint32_t error = 0;
    bool ok = true;
    std::thread reader([&] {
        uint8_t in[8];
        uint32_t count = 0;
        ok = api.readPipe(device.iface, 0x81, in, 8, &count, nullptr) != 0;
        error = GetLastError();
    });
    ASSERT_TRUE(running->waitForBlockedTransfers(1, 2000));
    EXPECT_TRUE(api.abortPipe(device.iface, 0x81));
    reader.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, kErrorOperationAborted);
    EXPECT_FALSE(api.abortPipe(device.iface, 0x42));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(SimulatedWinUsb, PipeBehavioursFromTheModel) {
    sim::withMachine([](sim::Machine& m) {
        sim::findDevice(m, 0x1A2B, 0x0001)->winUsb.pipes = {{0x02, sim::PipeKind::Stall, 0, 0},
                                                             {0x83, sim::PipeKind::Source, 0, 0},
                                                             {0x84, sim::PipeKind::Slow, 0, 50},
                                                             {0x05, sim::PipeKind::Silent, 0, 0}};
    });
    WinUsb api;
    OpenDevice device(api, twoDevices.winUsb);
    uint8_t data[8] = {};
    uint32_t count = 0;
    EXPECT_FALSE(api.writePipe(device.iface, 0x02, data, 8, &count, nullptr));
    EXPECT_EQ(GetLastError(), kErrorGenFailure);
    EXPECT_TRUE(api.readPipe(device.iface, 0x83, data, 8, &count, nullptr));
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(data[7], 7);
    api.timeout(device.iface, 0x84, 20);
    EXPECT_FALSE(api.readPipe(device.iface, 0x84, data, 8, &count, nullptr)) << "slower than the time-out";
    EXPECT_EQ(GetLastError(), kErrorSemTimeout);
    api.timeout(device.iface, 0x84, 500);
    EXPECT_TRUE(api.readPipe(device.iface, 0x84, data, 8, &count, nullptr));
    api.timeout(device.iface, 0x05, 30);
    EXPECT_FALSE(api.writePipe(device.iface, 0x05, data, 8, &count, nullptr));
    EXPECT_EQ(GetLastError(), kErrorSemTimeout);
}

TEST_F(SimulatedWinUsb, ControlRequestsAnswerDescriptorsEchoVendorDataAndStallTheRest) {
    WinUsb api;
    OpenDevice device(api, twoDevices.winUsb);
    uint8_t buffer[64] = {};
    uint32_t count = 0;
    // GET_DESCRIPTOR(device) with a buffer shorter than the descriptor.
    ASSERT_TRUE(api.controlTransfer(device.iface, setup(0x80, 6, 0x0100, 0, 18), buffer, 8, &count, nullptr));
    EXPECT_EQ(count, 8u) << "never past the caller's buffer";
    EXPECT_EQ(buffer[0], 18);
    EXPECT_EQ(buffer[1], 1);
    ASSERT_TRUE(api.controlTransfer(device.iface, setup(0x80, 6, 0x0100, 0, 64), buffer, 64, &count, nullptr));
    EXPECT_EQ(count, 18u);
    EXPECT_EQ(buffer[8] | buffer[9] << 8, 0x1A2B);

    uint8_t sent[5] = {9, 8, 7, 6, 5};
    ASSERT_TRUE(api.controlTransfer(device.iface, setup(0x40, 0x10, 0, 0, 5), sent, 5, &count, nullptr));
    EXPECT_EQ(count, 5u);
    std::memset(buffer, 0, sizeof buffer);
    ASSERT_TRUE(api.controlTransfer(device.iface, setup(0xC0, 0x11, 0, 0, 64), buffer, 64, &count, nullptr));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::memcmp(buffer, sent, 5), 0);
    ASSERT_TRUE(api.controlTransfer(device.iface, setup(0x40, 0x10, 0, 0, 0), nullptr, 0, &count, nullptr));
    EXPECT_EQ(count, 0u) << "a zero-length data stage";

    EXPECT_FALSE(api.controlTransfer(device.iface, setup(0x00, 9, 1, 0, 0), nullptr, 0, &count, nullptr));
    EXPECT_EQ(GetLastError(), kErrorGenFailure) << "SET_CONFIGURATION is stalled";
    EXPECT_FALSE(api.controlTransfer(device.iface, setup(0x80, 6, 0x0305, 0x0409, 64), buffer, 64, &count, nullptr));
    EXPECT_EQ(GetLastError(), kErrorGenFailure) << "no string 5";
    std::vector<uint8_t> large(4097, 0);
    EXPECT_FALSE(api.controlTransfer(device.iface, setup(0xC0, 0x11, 0, 0, 4097), large.data(), 4097, &count,
                                     nullptr));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter) << "a data stage over 4 KiB";
}

TEST_F(SimulatedWinUsb, UnplugEndsABlockedTransferAndFailsLaterOnes) {
    WinUsb api;
    OpenDevice device(api, twoDevices.winUsb);
    auto running = sim::winUsbDeviceAt(twoDevices.winUsb);
    uint32_t error = 0;
    std::thread reader([&] {
        uint8_t in[8];
        uint32_t count = 0;
        api.readPipe(device.iface, 0x81, in, 8, &count, nullptr);
        error = GetLastError();
    });
    ASSERT_TRUE(running->waitForBlockedTransfers(1, 2000));
    sim::unplugDevice({0, 1});
    reader.join();
    EXPECT_EQ(error, 433u) << "in flight: ERROR_NO_SUCH_DEVICE";
    uint8_t out[1] = {1};
    uint32_t count = 0;
    EXPECT_FALSE(api.writePipe(device.iface, 0x01, out, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), 22u) << "begun after: ERROR_BAD_COMMAND";
}

TEST_F(SimulatedWinUsb, ClosingTheFileBeforeWinUsbFreeIsReported) {
    WinUsb api;
    Handle file = CreateFileA(twoDevices.winUsb.c_str(), kGenericRead | kGenericWrite, 0, nullptr, kOpenExisting,
                              kFileFlagOverlapped, nullptr);
    void* iface = nullptr;
    ASSERT_TRUE(api.initialize(file, &iface));
    CloseHandle(file);
    EXPECT_EQ(sim::misuseReports().size(), 1u);
    EXPECT_TRUE(api.free(iface));
    EXPECT_FALSE(api.free(iface)) << "freed twice";
    EXPECT_EQ(sim::misuseReports().size(), 2u);
    sim::clearMisuseReports();
}
