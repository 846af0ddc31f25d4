// Runs the real USB tree walk over simulated machines and turns its result
// into plain values, checking that nothing the walk took is left behind.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devlist/list_entries.h"
#include "enum/enumerate_usb_tree.h"
#include "enum/walk_state.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"

namespace testsupport {

struct WalkedDevice {
    uint16_t vendorId = 0, productId = 0, bcdDevice = 0;
    std::string manufacturer, product, serial;  // "(none)" for a missing text
    std::string devicePath, hidPath;            // "" when absent
    bool hasDevicePath = false, hasHidPath = false;
    int32_t isHid = 0, driverSupported = 0, sequenceNumber = 0;
    std::vector<uint8_t> descriptor;  // the 18 bytes
    int32_t present = 0, reportedPresent = 0, stateA = 0, stateB = 0, isOpen = -1;
    bool fileHandleInvalid = false;
};

inline std::string textOf(const char* text) { return text == nullptr ? "(none)" : text; }

inline WalkedDevice describeWalked(const DeviceEntry& e) {
    WalkedDevice d;
    d.vendorId = e.vendorId;
    d.productId = e.productId;
    d.bcdDevice = e.bcdDevice;
    d.manufacturer = textOf(e.manufacturerDescription);
    d.product = textOf(e.deviceDescription);
    d.serial = textOf(e.serialNumber);
    d.hasDevicePath = e.devicePath != nullptr;
    d.devicePath = e.devicePath != nullptr ? e.devicePath : "";
    d.hasHidPath = e.hidPath != nullptr;
    d.hidPath = e.hidPath != nullptr ? e.hidPath : "";
    d.isHid = e.isHid;
    d.driverSupported = e.driverSupported;
    d.sequenceNumber = e.sequenceNumber;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&e.deviceDescriptor);
    d.descriptor.assign(bytes, bytes + sizeof e.deviceDescriptor);
    d.present = e.present;
    d.reportedPresent = e.reportedPresent;
    d.stateA = e.stateA;
    d.stateB = e.stateB;
    d.isOpen = e.isOpen;
    d.fileHandleInvalid = e.fileHandle == platform::invalidHandle();
    return d;
}

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        releaseWalkState();
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::stopJournal();
        sim::clearFaults();
        releaseWalkState();
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }

    static void install(const sim::MachineBuilder& builder) { sim::installMachine(builder.build()); }

    // One walk with a filter chain of these vendor ids (none: an empty
    // chain). The result is released before this returns.
    std::vector<WalkedDevice> walk(const std::vector<uint16_t>& vendors = {0xFFFF}) {
        std::vector<DeviceFilter> chain(vendors.size());
        for (size_t i = 0; i < vendors.size(); ++i) {
            chain[i].vendorId = vendors[i];
            chain[i].next = i + 1 < vendors.size() ? &chain[i + 1] : nullptr;
        }
        EnumerationResult* result = enumerateUsbTree(chain.empty() ? nullptr : chain.data());
        std::vector<WalkedDevice> devices;
        if (result == nullptr) return devices;
        EXPECT_EQ(result->deviceCount, 0);
        EXPECT_EQ(result->filter, nullptr);
        for (const DeviceEntry* e = result->firstEntry; e != nullptr; e = e->next) {
            EXPECT_EQ(e->owner, result);
            devices.push_back(describeWalked(*e));
        }
        releaseWalkResult(result);
        return devices;
    }

    sim::Counts before;
};

// A HID device with its strings, ready to be placed on a port.
inline sim::DeviceBuilder hidDevice(uint16_t vendor, uint16_t product, const std::string& serial) {
    return sim::DeviceBuilder(vendor, product).strings("Maker", "Pad", serial).hid();
}

}  // namespace testsupport
