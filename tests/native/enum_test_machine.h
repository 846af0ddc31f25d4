// Small helpers for the walk's tests over simulated machines: a machine
// with one device on a port of one root hub, and handles to its hub and
// controller that close themselves.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/faults.h"
#include "platform/sim/installed_machine.h"
#include "platform/sim/machine_builder.h"
#include "platform/sim/sim.h"
#include "platform/usb_requests.h"

namespace enumtest {

constexpr const char* kRootHubName = "USB#ROOT_HUB30#4&1A2B3C4D&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

// A handle that is closed when it goes out of scope.
class OpenHandle {
public:
    explicit OpenHandle(platform::Handle handle) : handle_(handle) {}
    ~OpenHandle() {
        if (platform::isValidHandle(handle_)) platform::CloseHandle(handle_);
    }
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;
    platform::Handle get() const { return handle_; }

private:
    platform::Handle handle_;
};

inline platform::Handle openHub(const std::string& name) {
    std::string path = "\\\\.\\" + name;
    return platform::CreateFileA(path.c_str(), platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                                 platform::kOpenExisting, 0, nullptr);
}

inline platform::Handle openController(const std::string& interfacePath) {
    std::u16string wide(interfacePath.begin(), interfacePath.end());
    return platform::CreateFileW(wide.c_str(), platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                                 platform::kOpenExisting, 0, nullptr);
}

// One controller whose root hub (named kRootHubName) has the device on
// port 1; returns the installed machine's controller record.
inline sim::HostController installWithDevice(const sim::DeviceBuilder& device) {
    sim::HostController controller =
        sim::ControllerBuilder().rootHub(sim::HubBuilder(4).name(kRootHubName).device(1, device)).build();
    sim::installMachine(sim::MachineBuilder().controller(controller).build());
    return controller;
}

// Resets faults and the journal and checks that a test leaves nothing of
// the library's behind.
class SimulatedMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::stopJournal();
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::clearFaults();
        sim::stopJournal();
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }
    sim::Counts before;
};

}  // namespace enumtest
