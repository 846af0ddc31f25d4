// A stand-in for the USB tree walk, for tests of the device lists and the
// records built from them. It builds its result the way the real walk does:
// zero-filled process-heap records, texts from the C runtime, all four state
// words 1, no open file handle. Tests say which devices are attached.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "devlist/device_list_registry.h"
#include "devlist/registry_state.h"
#include "enum/enumerate_usb_tree.h"
#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"

struct FakeDevice {
    uint16_t vendorId = 0x1234;
    uint16_t productId = 0xABCD;
    uint16_t bcdDevice = 0x0100;
    const char* manufacturer = "Acme";  // null: the device supplied none
    const char* product = "Widget";
    const char* serial = nullptr;
    const char* devicePath = "\\\\?\\usb#vid_1234&pid_abcd#1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const char* hidPath = nullptr;
    int32_t driverSupported = 1;
};

namespace testsupport {

struct State {
    std::vector<FakeDevice> attached;         // what the next walk finds
    bool yieldNothing = false;                // the walk cannot allocate its result
    int calls = 0;                            // walks run
    std::vector<uint16_t> filtersSeen;        // first filter record of each walk
    std::function<void()> beforeReturn;       // run as the walk hands back its result
};

inline State& state() {
    static State s;
    return s;
}

inline bool accepts(const DeviceFilter* filter, uint16_t vendorId) {
    for (; filter != nullptr; filter = filter->next)
        if (filter->vendorId == 0xFFFF || filter->vendorId == vendorId) return true;
    return false;
}

inline DeviceEntry* makeWalkedEntry(const FakeDevice& device, EnumerationResult* owner, int32_t sequence) {
    auto* entry = static_cast<DeviceEntry*>(platform::HeapAllocZero(sizeof(DeviceEntry)));
    if (entry == nullptr) return nullptr;
    entry->devicePath = platform::crtDuplicate(device.devicePath);
    entry->hidPath = platform::crtDuplicate(device.hidPath);
    entry->stateA = entry->stateB = entry->present = entry->reportedPresent = 1;
    entry->fileHandle = platform::invalidHandle();
    entry->isHid = device.hidPath != nullptr ? 1 : 0;
    entry->vendorId = device.vendorId;
    entry->productId = device.productId;
    entry->bcdDevice = device.bcdDevice;
    entry->manufacturerDescription = platform::crtDuplicate(device.manufacturer);
    entry->deviceDescription = platform::crtDuplicate(device.product);
    entry->serialNumber = platform::crtDuplicate(device.serial);
    entry->sequenceNumber = sequence;
    entry->driverSupported = device.driverSupported;
    entry->deviceDescriptor = {18, 1, 0x0200, 0, 0, 0, 64, device.vendorId, device.productId, device.bcdDevice,
                               1, 2, 3, 1};
    entry->owner = owner;
    return entry;
}

inline EnumerationResult* walk(DeviceFilter* filter) {
    State& s = state();
    ++s.calls;
    s.filtersSeen.push_back(filter == nullptr ? 0 : filter->vendorId);
    EnumerationResult* result = nullptr;
    if (!s.yieldNothing) {
        result = static_cast<EnumerationResult*>(platform::HeapAllocZero(sizeof(EnumerationResult)));
        DeviceEntry* last = nullptr;
        int32_t sequence = 0;
        for (const FakeDevice& device : s.attached) {
            if (result == nullptr || !accepts(filter, device.vendorId)) continue;
            DeviceEntry* entry = makeWalkedEntry(device, result, sequence++);
            if (entry == nullptr) continue;
            (last == nullptr ? result->firstEntry : last->next) = entry;
            last = entry;
        }
    }
    if (s.beforeReturn) s.beforeReturn();
    return result;
}

}  // namespace testsupport

// Puts the fake walk in place of the real one for each test, and checks that
// every list the test made was released and that nothing the library took
// is left over.
class FakeWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DeviceListRegistry::firstList, nullptr) << "an earlier test left a device list behind";
        savedWalk_ = deviceWalk;
        deviceWalk = testsupport::walk;
        testsupport::state() = testsupport::State{};
        sim::clearFaults();
        before_ = sim::openCounts();
    }

    void TearDown() override {
        for (int32_t id : created_) DeviceListRegistry::release(id);
        deviceWalk = savedWalk_;
        testsupport::state() = testsupport::State{};
        sim::clearFaults();
        EXPECT_EQ(DeviceListRegistry::firstList, nullptr);
        EXPECT_EQ(sim::openCounts(), before_) << sim::describe(sim::openCounts());
    }

    // Creates a list and remembers its id for release at the end of the test.
    int32_t create(int32_t vendorFilter) {
        int32_t id = DeviceListRegistry::create(vendorFilter);
        if (id >= 0) created_.push_back(id);
        return id;
    }

    // Releases a list now; the end of the test will not release it again.
    int32_t release(int32_t id) {
        for (auto it = created_.begin(); it != created_.end(); ++it)
            if (*it == id) {
                created_.erase(it);
                break;
            }
        return DeviceListRegistry::release(id);
    }

    static void attach(std::vector<FakeDevice> devices) { testsupport::state().attached = std::move(devices); }

    sim::Counts before_;

private:
    DeviceWalk savedWalk_ = nullptr;
    std::vector<int32_t> created_;
};
