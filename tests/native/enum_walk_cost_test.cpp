// What a walk costs in platform calls, over machines of a few sizes. Hub
// requests per device stay flat (the smallest machine sets the rate), every
// device, hub and controller costs one lookup among all present devices,
// and the HID search opens HID interfaces one by one, so a walk opens at
// most (devices accepted) x (HID interfaces present) of them.
#include <cstdio>

#include "walk_fixture.h"

using namespace testsupport;

namespace {

// n devices on hubs of four ports below one root hub: WinUSB and HID
// devices in turn.
sim::Machine deskOf(int n) {
    sim::HubBuilder root(static_cast<uint8_t>((n + 3) / 4));
    for (int hub = 0; hub < (n + 3) / 4; ++hub) {
        sim::HubBuilder ports(4);
        for (int port = 0; port < 4 && hub * 4 + port < n; ++port) {
            uint16_t product = static_cast<uint16_t>(hub * 4 + port + 1);
            std::string serial = "SN" + std::to_string(product);
            if (product % 2 == 0)
                ports.device(port + 1, hidDevice(0x1A2B, product, serial));
            else
                ports.device(port + 1, sim::DeviceBuilder(0x1A2B, product).strings("Maker", "Loop", serial).winUsb());
        }
        root.device(hub + 1, sim::DeviceBuilder(0x2C3D, 0x4100).hub(ports));
    }
    return sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(root)).build();
}

size_t countOf(const char* operation, const char* arguments = nullptr) {
    size_t count = 0;
    for (const sim::JournalRecord& r : sim::journal())
        if (r.operation == operation && (arguments == nullptr || r.arguments == arguments)) ++count;
    return count;
}

// The devices, hubs and host controller of deskOf(n).
size_t nodesOf(int n) { return static_cast<size_t>(n + (n + 3) / 4 + 1); }

size_t hidOpens() {
    size_t opens = 0;
    for (const sim::JournalRecord& r : sim::journal())
        if (r.operation == "CreateFileW" && r.arguments.find("hid#") != std::string::npos) ++opens;
    return opens;
}

}  // namespace

TEST_F(WalkTest, CallsGrowWithTheDevicesAndHidOpensStayWithinTheirBound) {
    size_t hubRequestsPerNode = 0;
    for (int n : {1, 4, 16, 64}) {
        sim::installMachine(deskOf(n));
        sim::startJournal();
        std::vector<WalkedDevice> devices = walk();
        sim::stopJournal();
        ASSERT_EQ(devices.size(), static_cast<size_t>(n));
        size_t calls = sim::journal().size();
        size_t hidInterfaces = static_cast<size_t>(n / 2);
        EXPECT_LE(hidOpens(), static_cast<size_t>(n) * hidInterfaces);
        const size_t hubRequests = countOf("DeviceIoControl");
        if (n == 1) hubRequestsPerNode = (hubRequests + nodesOf(1) - 1) / nodesOf(1);
        EXPECT_LE(hubRequests, hubRequestsPerNode * nodesOf(n)) << n << " devices";
        EXPECT_LE(countOf("SetupDiGetClassDevsW", "class=(none) flags=0x6"), nodesOf(n)) << n << " devices";
        std::printf("walk over %d devices: %zu platform calls, %zu per device, %zu HID opens\n", n, calls,
                    calls / static_cast<size_t>(n), hidOpens());
        RecordProperty("callsFor" + std::to_string(n) + "Devices", static_cast<int>(calls));
    }
}
