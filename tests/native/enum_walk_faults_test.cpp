// Every platform call of a full walk over the built-in bench made to fail,
// one at a time: the walk must come through, leave nothing behind, and list
// only devices of the fault-free walk, in the same order, each either whole
// or with what the failure cost it (a text unknown or from another of its
// languages, a path missing); a failed optional request drops no device.
#include <cstdio>
#include <set>
#include <string>

#include "platform/sim/model/bench.h"
#include "walk_fixture.h"

using namespace testsupport;

namespace {

// The texts a device's string index can give in any of its languages, as
// the walk narrows them.
std::set<std::string> textsOfIndex(const sim::Device& device, uint8_t index) {
    std::set<std::string> texts;
    auto byIndex = device.strings.find(index);
    if (byIndex == device.strings.end()) return texts;
    for (const auto& byLanguage : byIndex->second) {
        const std::vector<uint8_t>& bytes = byLanguage.second.bytes;
        std::string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned unit = bytes[i] | bytes[i + 1] << 8;
            if (unit == 0 || unit > 0xFF) break;
            text += static_cast<char>(unit);
        }
        texts.insert(text);
    }
    return texts;
}

struct Expected {
    WalkedDevice whole;  // as the fault-free walk lists it
    std::set<std::string> manufacturers, products, serials;  // what a failure may leave instead
};

bool textAcceptable(const std::string& got, const std::string& whole, std::set<std::string> others) {
    return got == whole || got == "?" || got == "(none)" || others.count(got) != 0;
}

// Whether a device listed under a fault is the fault-free one, or the same
// device with less known about it.
bool isWholeOrLessOf(const WalkedDevice& got, const Expected& e) {
    const WalkedDevice& w = e.whole;
    return got.descriptor == w.descriptor && got.driverSupported == w.driverSupported &&
           textAcceptable(got.manufacturer, w.manufacturer, e.manufacturers) &&
           textAcceptable(got.product, w.product, e.products) &&
           textAcceptable(got.serial, w.serial, e.serials) &&
           (!got.hasDevicePath || got.devicePath == w.devicePath) &&
           (!got.hasHidPath || got.hidPath == w.hidPath) && got.isHid == (got.hasHidPath ? 1 : 0) &&
           got.present == 1 && got.reportedPresent == 1 && got.stateA == 1 && got.stateB == 1 && got.isOpen == 0 &&
           got.fileHandleInvalid;
}

// A descriptor request of a size only a BOS head (12 + 6 bytes) or a string
// descriptor (12 + 255) has.
bool isOptionalDescriptorRequest(const std::string& call) {
    if (call.rfind("DeviceIoControl GET_DESCRIPTOR_FROM_NODE_CONNECTION ", 0) != 0) return false;
    return call.find(" in=18 ") != std::string::npos || call.find(" in=267 ") != std::string::npos;
}

std::string describeDevice(const WalkedDevice& d) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04X:%04X", d.vendorId, d.productId);
    return std::string(ids) + " " + d.manufacturer + "|" + d.product + "|" + d.serial + " path=" + d.devicePath +
           " hid=" + d.hidPath;
}

class WalkFaults : public WalkTest {
protected:
    std::vector<Expected> expectations(const std::vector<WalkedDevice>& whole) {
        sim::Machine machine = sim::machineCopy();
        std::vector<Expected> expected;
        for (const WalkedDevice& w : whole) {
            Expected e{w, {}, {}, {}};
            if (sim::Device* device = sim::findDevice(machine, w.vendorId, w.productId)) {
                e.manufacturers = textsOfIndex(*device, device->descriptor.iManufacturer);
                e.products = textsOfIndex(*device, device->descriptor.iProduct);
                e.serials = textsOfIndex(*device, device->descriptor.iSerialNumber);
            }
            expected.push_back(e);
        }
        return expected;
    }

    // Walks with the Nth call of the operation failing; false once the walk
    // has no Nth call.
    bool walkWithFault(const std::string& operation, uint64_t n, uint32_t error, const std::vector<Expected>& expected,
                       int64_t* setsLeft) {
        sim::startJournal();
        sim::failNthCall(operation, n, error);
        std::vector<WalkedDevice> got = walk();
        bool hit = sim::faultsHit() != 0;
        std::vector<sim::JournalRecord> calls = sim::journal();
        sim::stopJournal();
        sim::clearFaults();
        releaseWalkState();
        if (!hit) {
            EXPECT_TRUE(got.size() == expected.size()) << "call " << n << ": a walk without a fault lists all";
            return false;
        }
        std::string failed = "?";
        uint64_t seen = 0;
        for (const sim::JournalRecord& call : calls) {
            if (operation != "*" && call.operation != operation) continue;
            if (++seen == n) {
                failed = call.operation + " " + call.arguments;
                break;
            }
        }
        // The simulated set stays when its destruction is made to fail.
        if (failed.rfind("SetupDiDestroyDeviceInfoList", 0) == 0) ++*setsLeft;
        sim::Counts expectedCounts = before;
        expectedCounts.deviceInfoSets += *setsLeft;
        EXPECT_EQ(sim::openCounts(), expectedCounts)
            << "call " << n << " (" << failed << ") left " << sim::describe(sim::openCounts());

        // An optional request failing (the head of a BOS descriptor, or one
        // string descriptor) costs the device what it would have told, never
        // the device itself.

        if (isOptionalDescriptorRequest(failed)) {
            EXPECT_EQ(got.size(), expected.size()) << "call " << n << " (" << failed << ") dropped a device";
        }

        size_t next = 0;
        for (const WalkedDevice& d : got) {
            while (next < expected.size() && !isWholeOrLessOf(d, expected[next])) ++next;
            EXPECT_LT(next, expected.size()) << "call " << n << " (" << failed << ") listed " << describeDevice(d);
            if (next == expected.size()) break;
            ++next;
        }
        return true;
    }

    // Returns how many calls were made to fail.
    uint64_t sweep(const std::string& operation, uint32_t error) {
        sim::installDefaultBench();
        std::vector<WalkedDevice> whole = walk();
        releaseWalkState();
        EXPECT_GE(whole.size(), 5u);
        std::vector<Expected> expected = expectations(whole);
        int64_t setsLeft = 0;
        uint64_t n = 1;
        while (walkWithFault(operation, n, error, expected, &setsLeft) && !HasFailure()) ++n;
        before.deviceInfoSets += setsLeft;
        return n - 1;
    }
};

}  // namespace

TEST_F(WalkFaults, EveryFailingCallOnlyShortensTheWalk) {
    EXPECT_GT(sweep("*", platform::kErrorGenFailure), 1000u);  // every call of the walk had its turn
}

// 122 is the answer that size queries expect, so a query failing with it
// leads the walk on with whatever size it was given.
TEST_F(WalkFaults, SizeQueriesFailingWithInsufficientBufferOnlyShortenTheWalk) {
    for (const char* operation : {"SetupDiGetDeviceInterfaceDetailW", "SetupDiGetDeviceRegistryPropertyA",
                                  "SetupDiGetDeviceInstanceIdA"})
        EXPECT_GT(sweep(operation, platform::kErrorInsufficientBuffer), 10u) << operation;
}
