// A machine captured through the platform boundary and written as a bench
// must read back as the same machine, as far as the library can tell: the
// same device lists for every vendor filter, the same records, descriptors
// and paths, the same platform calls in the same order, and the same
// answers to every request a capture walk makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "jni/description_record.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"
#include "tools/bench/bench_writer.h"
#include "tools/bench/machine_capture.h"

namespace {

struct Observation {
    std::vector<std::string> lists;    // per vendor filter: every entry as the library keeps it
    std::vector<std::string> journal;  // the platform calls of one walk of all vendors
};

std::string hex(const void* data, size_t size) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", static_cast<const uint8_t*>(data)[i]);
        out += pair;
    }
    return out;
}

std::string describeList(int32_t vendorFilter) {
    int32_t list = DeviceListRegistry::create(vendorFilter);
    std::string out = "filter " + std::to_string(vendorFilter) + ":\n";
    for (DeviceEntry* e = DeviceListRegistry::nextEntry(list, nullptr); e != nullptr;
         e = DeviceListRegistry::nextEntry(list, e)) {
        char record[kDescriptionRecordSize];
        formatDescriptionRecord(*e, record);
        out += std::string(record) + " descriptor=" + hex(&e->deviceDescriptor, sizeof e->deviceDescriptor) +
               " path=" + (e->devicePath ? e->devicePath : "(none)") + " hid=" + (e->hidPath ? e->hidPath : "(none)") +
               " isHid=" + std::to_string(e->isHid) + " supported=" + std::to_string(e->driverSupported) + "\n";
    }
    DeviceListRegistry::release(list);
    return out;
}

// Sets and handles are numbered by the order they first appear, so that two
// machines compare by what was asked, not by where the memory was.
std::vector<std::string> normalisedJournal() {
    std::vector<std::string> out;
    std::vector<std::string> seen;
    for (const sim::JournalRecord& r : sim::journal()) {
        const std::string& in = r.arguments;
        std::string arguments;
        size_t at = 0;
        while (at < in.size()) {
            const size_t set = in.find("set=", at), handle = in.find("handle=", at);
            const size_t name = std::min(set, handle);
            if (name == std::string::npos) break;
            const size_t value = name + (name == set ? 4 : 7);
            size_t end = value + (in.compare(value, 2, "0x") == 0 ? 2 : 0);
            const size_t digits = end;
            while (end < in.size() && isxdigit(static_cast<unsigned char>(in[end]))) ++end;
            if (end == digits) {
                arguments += in.substr(at, value - at);
                at = value;
                continue;
            }
            const std::string pointer = in.substr(name, end - name);
            size_t n = 0;
            while (n < seen.size() && seen[n] != pointer) ++n;
            if (n == seen.size()) seen.push_back(pointer);
            arguments += in.substr(at, value - at) + "#" + std::to_string(n);
            at = end;
        }
        out.push_back(r.operation + " " + arguments + in.substr(at));
    }
    return out;
}

Observation observe(const sim::Machine& machine) {
    sim::installMachine(machine);
    releaseWalkState();
    Observation seen;
    std::set<int32_t> filters = {0xFFFF, 0x0000};
    for (const sim::HostController& c : machine.controllers) {
        std::vector<const std::vector<sim::Port>*> hubs = {&c.rootHub.ports};
        while (!hubs.empty()) {
            const std::vector<sim::Port>* ports = hubs.back();
            hubs.pop_back();
            for (const sim::Port& p : *ports) {
                if (!p.device) continue;
                filters.insert(p.device->descriptor.idVendor);
                if (p.device->isHub) hubs.push_back(&p.device->hub.ports);
            }
        }
    }
    sim::startJournal();
    seen.lists.push_back(describeList(0xFFFF));
    sim::stopJournal();
    seen.journal = normalisedJournal();
    for (int32_t filter : filters) seen.lists.push_back(describeList(filter));
    releaseWalkState();
    return seen;
}

std::string captureText(const sim::Machine& machine) {
    sim::installMachine(machine);
    return bench_tool::writeBench(bench_tool::captureMachine());
}

void expectRoundTrip(const sim::Machine& original) {
    sim::Counts before = sim::openCounts();
    std::string captured = captureText(original);
    EXPECT_EQ(sim::openCounts(), before) << "the capture left something open: " << sim::describe(sim::openCounts());

    sim::Machine replayed;
    std::string error;
    ASSERT_TRUE(sim::parseBench(captured, "captured.json", &replayed, &error)) << error;

    Observation a = observe(original), b = observe(replayed);
    EXPECT_EQ(a.lists, b.lists);
    ASSERT_EQ(a.journal.size(), b.journal.size());
    for (size_t i = 0; i < a.journal.size(); ++i) ASSERT_EQ(a.journal[i], b.journal[i]) << "call " << i;
    // Every answer the capture walk receives is in what it writes.
    EXPECT_EQ(captureText(replayed), captured);
}

class BenchCaptureRoundTrip : public testing::Test {
protected:
    void SetUp() override { sim::clearFaults(); }
    void TearDown() override {
        sim::clearFaults();
        sim::installDefaultBench();
    }
};

TEST_F(BenchCaptureRoundTrip, BuiltInBench) { expectRoundTrip(sim::defaultBench()); }

TEST_F(BenchCaptureRoundTrip, EveryBenchFileOfTheTests) {
    for (const char* name : {"DeviceListRecordsTest", "DeviceListTest", "WalkHotPlugTest", "WalkRecordsTest"}) {
        SCOPED_TRACE(name);
        sim::Machine machine;
        std::string error;
        ASSERT_TRUE(sim::loadBenchFile(std::string(TAMBERLYX_TEST_BENCHES) + "/" + name + ".json", &machine, &error))
            << error;
        expectRoundTrip(machine);
    }
}

// Failing requests come back as the faults that make them fail: a stalled
// string, a missing and a refused property, the extended connection request
// refused (the legacy one answers), a hub that cannot be opened, a HID
// interface whose attributes fail, a configuration descriptor that stalls.
TEST_F(BenchCaptureRoundTrip, FailingRequestsBecomeFaults) {
    const char* bench = R"({
      "controllers": [{
        "faults": {"powerMap": {"103": 31}, "properties": {"service": 5}},
        "rootHub": {"ports": {
          "1": {"vendorId": "0x1A2B", "productId": "0x0001", "kind": "winusb", "serialNumber": "S1",
                "product": "Loop", "faults": {"strings": {"2": {"failWith": 31}}, "connectionInfoEx": 50}},
          "2": {"vendorId": "0x1A2B", "productId": "0x0002", "kind": "hid", "product": "Pad", "service": null,
                "hidInterfaces": [{"faults": {"attributesError": 31}}]},
          "3": {"vendorId": "0x2C3D", "productId": "0x4100", "hub": {"faults": {"openError": 5}}},
          "4": {"vendorId": "0x1A2B", "productId": "0x0003", "faults": {"configuration": {"failWith": 31}}}
        }}
      }],
      "otherDevices": [{"description": "Disk", "setupClass": "DiskDrive", "service": "disk"}]
    })";
    sim::Machine machine;
    std::string error;
    ASSERT_TRUE(sim::parseBench(bench, "faults.json", &machine, &error)) << error;
    expectRoundTrip(machine);
}

}  // namespace
