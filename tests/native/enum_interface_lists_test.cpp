// The lists of present device and hub interfaces: what they hold, where a
// failing interface ends them, the interface class the configuration file
// selects, and that rebuilding and clearing release everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "enum/interface_lists.h"
#include "enum/narrow_text.h"
#include "enum_fixture.h"
#include "platform/kernel.h"

namespace {

using Names = std::vector<std::string>;
constexpr const char* kKeyA = "{36FC9E60-C465-11CF-8056-444553540000}\\0101";
constexpr const char* kKeyHub = "{36FC9E60-C465-11CF-8056-444553540000}\\0102";
constexpr const char* kKeyB = "{36FC9E60-C465-11CF-8056-444553540000}\\0103";
constexpr const char* kKeyC = "{36FC9E60-C465-11CF-8056-444553540000}\\0104";

class InterfaceLists : public testsupport::SimulatedMachineTest {
protected:
    void SetUp() override {
        clearInterfaceList(deviceInterfaceList);
        clearInterfaceList(hubInterfaceList);
        testsupport::SimulatedMachineTest::SetUp();
    }
    void TearDown() override {
        clearInterfaceList(deviceInterfaceList);
        clearInterfaceList(hubInterfaceList);
        testsupport::SimulatedMachineTest::TearDown();
    }

    // Device A (also of the fixed class) on port 1, a hub with device B on
    // port 2, mass-storage device C on port 3; edit changes the machine.
    sim::Machine install(const std::function<void(sim::Machine&)>& edit = nullptr) {
        sim::Machine machine =
            sim::MachineBuilder()
                .controller(sim::ControllerBuilder().rootHub(
                    sim::HubBuilder(4)
                        .device(1, sim::DeviceBuilder(0x1A2B, 0x0401).winUsb().fixedClassInterface().driverKey(kKeyA))
                        .device(2, sim::DeviceBuilder(0x1A2B, 0x0402).driverKey(kKeyHub).hub(sim::HubBuilder(2).device(
                                       1, sim::DeviceBuilder(0x1A2B, 0x0403).winUsb().driverKey(kKeyB))))
                        .device(3, sim::DeviceBuilder(0x1A2B, 0x0404).massStorage().driverKey(kKeyC))))
                .build();
        if (edit) edit(machine);
        sim::installMachine(machine);
        return machine;
    }
    // Rebuilds the device list with the default class.
    Names deviceListNames() {
        buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
        return driverNames(deviceInterfaceList);
    }
    static Names driverNames(const InterfaceList& list) {
        Names names;
        for (const InterfaceNode* node = list.first; node != nullptr; node = node->next) names.push_back(node->driverName);
        return names;
    }
    static std::string pathOf(const InterfaceNode* node) {
        char* narrow = narrowCopy(node->interfaceDetail->DevicePath, 512);
        std::string path = narrow;
        platform::HeapFreeBlock(narrow);
        return path;
    }

    testsupport::ScratchModuleDirectory scratch;
};

}  // namespace

TEST_F(InterfaceLists, ListsHoldPresentDevicesAndHubsAndAreSearchedByDriverKey) {
    sim::Machine machine = install();
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList), (Names{kKeyA, kKeyHub, kKeyB, kKeyC}));
    EXPECT_EQ(driverNames(hubInterfaceList), (Names{*machine.controllers[0].rootHubNode.driver, kKeyHub}));

    const InterfaceNode* a = findInterfaceNode("{36fc9e60-c465-11cf-8056-444553540000}\\0101", 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(pathOf(a), sim::findDevice(machine, 0x1A2B, 0x0401)->usbInterface.path);
    EXPECT_STREQ(a->deviceDesc, "WinUsb Device");
    const InterfaceNode* hub = findInterfaceNode(kKeyHub, 1);
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(pathOf(hub), sim::findDevice(machine, 0x1A2B, 0x0402)->hub.interface.path);
    EXPECT_EQ(findInterfaceNode(kKeyA, 1), nullptr);  // the hub flag searches the hub list only
}

TEST_F(InterfaceLists, KeywordInTheConfigurationFileSelectsTheFixedClass) {
    sim::Machine machine = install();
    scratch.write("Tamberlyx.cfg", "# devices\nUseInfGuid\n");
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList), Names{kKeyA});
    EXPECT_EQ(pathOf(deviceInterfaceList.first), sim::findDevice(machine, 0x1A2B, 0x0401)->fixedClassInterface.path);
    EXPECT_EQ(findInterfaceNode(kKeyC, 0), nullptr);
    // Read anew at every build.
    scratch.write("Tamberlyx.cfg", "useinfguid \n");
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList).size(), 4u);
}

TEST_F(InterfaceLists, HubWithoutDescriptionHidesTheHubsAfterIt) {
    // The root hub, then two external hubs of which the first has no
    // description.
    auto noDescription = [](sim::Device& d) { d.node.description.reset(); };
    sim::Machine machine =
        sim::MachineBuilder()
            .controller(sim::ControllerBuilder().rootHub(
                sim::HubBuilder(4)
                    .device(1, sim::DeviceBuilder(0x1A2B, 0x0411).hub(sim::HubBuilder(2)).edit(noDescription))
                    .device(2, sim::DeviceBuilder(0x1A2B, 0x0412).hub(sim::HubBuilder(2)))))
            .build();
    sim::installMachine(machine);
    buildInterfaceLists();
    EXPECT_EQ(driverNames(hubInterfaceList), Names{*machine.controllers[0].rootHubNode.driver});
}

TEST_F(InterfaceLists, FirstInterfaceThatCannotBeDescribedEndsTheList) {
    const std::vector<std::function<void(sim::Device&)>> faults = {
        [](sim::Device& d) { d.node.enumError = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.node.driver.reset(); },
        [](sim::Device& d) { d.node.propertyErrors[platform::kSpdrpDeviceDesc] = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.usbInterface.enumError = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.usbInterface.sizeQueryError = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.usbInterface.detailError = platform::kErrorGenFailure; },
        // A detail size too small for the record itself: never written past.
        [](sim::Device& d) { d.usbInterface.reportedRequiredSize = 2; },
        // A detail size beyond any real path: refused, never allocated.
        [](sim::Device& d) { d.usbInterface.reportedRequiredSize = 0xFFFFFFF0u; },
    };
    for (size_t k = 0; k < faults.size(); ++k) {
        install([&](sim::Machine& m) { faults[k](*sim::findDevice(m, 0x1A2B, 0x0403)); });
        EXPECT_EQ(deviceListNames(), (Names{kKeyA, kKeyHub})) << "fault " << k;
    }
    // A failed allocation ends the list there: the nodes appended before it
    // stay, in order, and a later failure keeps at least as many.
    install();
    const Names whole = deviceListNames();
    ASSERT_EQ(whole.size(), 4u);
    size_t kept = 0;
    for (uint64_t n = 1; n <= 12; ++n) {
        sim::failNthCall("HeapAlloc", n, platform::kErrorNotEnoughMemory);
        Names names = deviceListNames();
        EXPECT_LT(names.size(), 4u) << "allocation " << n;
        EXPECT_EQ(names, Names(whole.begin(), whole.begin() + std::min(names.size(), whole.size())))
            << "allocation " << n;
        EXPECT_GE(names.size(), kept) << "allocation " << n;
        kept = names.size();
        sim::clearFaults();
    }
    EXPECT_GE(kept, 2u);
    // A size query that claims success, or a size larger than needed, is
    // no failure.
    sim::Machine machine = install([](sim::Machine& m) {
        sim::findDevice(m, 0x1A2B, 0x0401)->usbInterface.reportedRequiredSize = 1001;
        sim::findDevice(m, 0x1A2B, 0x0403)->usbInterface.sizeQueryReportsSuccess = true;
    });
    EXPECT_EQ(deviceListNames().size(), 4u);
    EXPECT_EQ(pathOf(deviceInterfaceList.first), sim::findDevice(machine, 0x1A2B, 0x0401)->usbInterface.path);
}

TEST_F(InterfaceLists, RebuildingReplacesTheLastWalksListsAndClearingReleasesAll) {
    install();
    buildInterfaceLists();
    sim::Counts afterFirst = sim::openCounts();
    install([](sim::Machine& m) { sim::findPort(m, {0, 3})->device.reset(); });  // C unplugged
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList), (Names{kKeyA, kKeyHub, kKeyB}));
    EXPECT_EQ(sim::openCounts().deviceInfoSets, afterFirst.deviceInfoSets);
    EXPECT_LT(sim::openCounts().heapBlocks, afterFirst.heapBlocks);

    clearInterfaceList(deviceInterfaceList);
    clearInterfaceList(hubInterfaceList);
    EXPECT_EQ(deviceInterfaceList.deviceInfoSet, platform::invalidHandle());
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());

    // No interfaces at all, or no set to be had: empty lists.
    sim::installMachine(sim::Machine{});
    buildInterfaceLists();
    EXPECT_EQ(hubInterfaceList.first, nullptr);
    EXPECT_EQ(findInterfaceNode(kKeyHub, 1), nullptr);
    sim::failNthCall("SetupDiGetClassDevsW", 1, platform::kErrorNotEnoughMemory);
    buildInterfaceList(hubInterfaceList, platform::kGuidDevinterfaceUsbHub);
    EXPECT_EQ(hubInterfaceList.deviceInfoSet, platform::invalidHandle());
}
