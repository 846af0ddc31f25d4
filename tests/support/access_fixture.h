// A simulated machine for the device operations: a WinUSB device with a
// loopback, a stalled and a silent pipe, an echoing HID device and a silent
// one, WinUSB loaded, and entries made by hand from the devices' paths.
// Every test must leave no handle, event, interface, pending request or
// misuse behind.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "access/winusb_api.h"
#include "base/device_entry.h"
#include "base/status_code.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/devices/hid_device.h"
#include "platform/sim/devices/winusb_device.h"
#include "platform/sim/model/machine_builder.h"

namespace testsupport {

constexpr uint16_t kVendor = 0x1A2B;
constexpr uint16_t kLoopbackProduct = 0x0001;
constexpr uint16_t kHidProduct = 0x0002;
constexpr uint16_t kSilentHidProduct = 0x0003;
constexpr uint16_t kStorageProduct = 0x0004;
constexpr uint8_t kStalledPipe = 0x02;
constexpr uint8_t kSilentInPipe = 0x83;

inline sim::Machine accessMachine() {
    sim::HidBehaviour silent;
    silent.kind = sim::HidReportKind::Silent;
    return sim::MachineBuilder()
        .controller(sim::ControllerBuilder().rootHub(
            sim::HubBuilder(4)
                .device(1, sim::DeviceBuilder(kVendor, kLoopbackProduct)
                               .strings("Maker", "Loop", "SN1")
                               .winUsb()
                               .edit([](sim::Device& d) {
                                   d.winUsb.pipes.push_back({kStalledPipe, sim::PipeKind::Stall, 0, 0});
                                   d.winUsb.pipes.push_back({kSilentInPipe, sim::PipeKind::Silent, 0, 0});
                               }))
                .device(2, sim::DeviceBuilder(kVendor, kHidProduct).strings("Maker", "Pad", "SN2").hid())
                .device(3, sim::DeviceBuilder(kVendor, kSilentHidProduct)
                               .strings("Maker", "Quiet", "SN3")
                               .hid()
                               .edit([silent](sim::Device& d) { d.hidInterfaces[0].behaviour = silent; }))
                .device(4, sim::DeviceBuilder(kVendor, kStorageProduct).massStorage())))
        .build();
}

// An entry as a list holds it, closed, naming one path of the machine. The
// texts point into the fixture's strings: such an entry is never released.
struct HandMadeEntry {
    std::string path;
    std::string manufacturer = "Maker", product = "Pad", serial = "SN2";
    DeviceEntry entry{};

    HandMadeEntry(const std::string& devicePath, bool hid) : path(devicePath) {
        if (hid)
            entry.hidPath = path.data();
        else
            entry.devicePath = path.data();
        entry.isHid = hid ? 1 : 0;
        entry.fileHandle = platform::invalidHandle();
        entry.manufacturerDescription = manufacturer.data();
        entry.deviceDescription = product.data();
        entry.serialNumber = serial.data();
    }
};

class DeviceAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::clearMisuseReports();
        sim::restoreModules();
        machine = accessMachine();
        // An empty machine first unplugs every running device, so each test
        // starts with freshly plugged devices: nothing another test left in
        // a loopback or a report buffer.
        sim::installMachine(sim::Machine{});
        sim::installMachine(machine);
        winUsbApi = WinUsbApi{};
        baseline_ = sim::openCounts();
        ASSERT_NE(WinUsbApi::load(), nullptr);
        before = sim::openCounts();
    }
    void TearDown() override {
        for (auto& e : made_)
            if (e->entry.isOpen == 1) e->entry.close();
        sim::stopJournal();
        sim::clearFaults();
        EXPECT_EQ(sim::pendingRequests(), 0u);
        EXPECT_EQ(sim::misuseReports(), std::vector<std::string>());
        WinUsbApi::unload(&winUsbApi);
        sim::restoreModules();
        EXPECT_EQ(sim::openCounts(), baseline_) << sim::describe(sim::openCounts());
    }

    sim::Device& device(uint16_t product) { return *sim::findDevice(machine, kVendor, product); }
    std::string winUsbPath() { return device(kLoopbackProduct).usbInterface.path; }
    std::string hidPath(uint16_t product = kHidProduct) { return device(product).hidInterfaces[0].interface.path; }

    // An entry of the machine, closed; closed again at the end of the test.
    HandMadeEntry& entryFor(const std::string& path, bool hid) {
        made_.emplace_back(new HandMadeEntry(path, hid));
        return *made_.back();
    }
    DeviceEntry& openWinUsb() {
        DeviceEntry& e = entryFor(winUsbPath(), false).entry;
        EXPECT_EQ(e.open(), Success);
        return e;
    }
    DeviceEntry& openHid(uint16_t product = kHidProduct) {
        DeviceEntry& e = entryFor(hidPath(product), true).entry;
        EXPECT_EQ(e.open(), Success);
        return e;
    }

    sim::Machine machine;
    sim::Counts before;  // with WinUSB loaded and no device open

private:
    sim::Counts baseline_;  // before WinUSB was loaded
    std::vector<std::unique_ptr<HandMadeEntry>> made_;
};

// The calls the journal holds for one operation, as their argument texts.
inline std::vector<std::string> callsOf(const std::string& operation) {
    std::vector<std::string> calls;
    for (const auto& record : sim::journal())
        if (record.operation == operation) calls.push_back(record.arguments);
    return calls;
}

inline long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

inline std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

}  // namespace testsupport
