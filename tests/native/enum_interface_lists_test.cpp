// The lists of present device and hub interfaces: what they hold, where a
// failing interface ends them, the interface class the configuration file
// selects, and that rebuilding and clearing release everything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "enum/device_properties.h"
#include "enum/interface_lists.h"
#include "enum/narrow_text.h"
#include "enum_test_machine.h"
#include "platform/kernel.h"

namespace {

constexpr const char* kKeyA = "{36FC9E60-C465-11CF-8056-444553540000}\\0101";
constexpr const char* kKeyHub = "{36FC9E60-C465-11CF-8056-444553540000}\\0102";
constexpr const char* kKeyB = "{36FC9E60-C465-11CF-8056-444553540000}\\0103";
constexpr const char* kKeyC = "{36FC9E60-C465-11CF-8056-444553540000}\\0104";

class InterfaceLists : public enumtest::SimulatedMachineTest {
protected:
    void SetUp() override {
        clearInterfaceList(deviceInterfaceList);
        clearInterfaceList(hubInterfaceList);
        savedRoot = sim::driveRoot();
        savedModule = sim::modulePath();
        char pattern[] = "/tmp/tamberlyx-lists-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        sim::setDriveRoot(root);
        ASSERT_EQ(std::system(("mkdir -p " + root + "/c/lib").c_str()), 0);
        sim::setModulePath("c:\\lib\\Tamberlyx.dll");
        enumtest::SimulatedMachineTest::SetUp();
    }
    void TearDown() override {
        clearInterfaceList(deviceInterfaceList);
        clearInterfaceList(hubInterfaceList);
        enumtest::SimulatedMachineTest::TearDown();
        sim::setDriveRoot(savedRoot);
        sim::setModulePath(savedModule);
        std::system(("rm -rf " + root).c_str());
    }

    // Device A with the fixed class on port 1, a hub with device B on port
    // 2, mass-storage device C on port 3; edit changes the machine.
    void install(const std::function<void(sim::Machine&)>& edit = nullptr) {
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
    }
    std::string rootHubKey() { return *sim::machineCopy().controllers[0].rootHubNode.driver; }

    std::vector<std::string> driverNames(const InterfaceList& list) {
        std::vector<std::string> names;
        for (const InterfaceNode* node = list.first; node != nullptr; node = node->next) names.push_back(node->driverName);
        return names;
    }
    std::string pathOf(const InterfaceNode* node) {
        char* narrow = narrowCopy(node->interfaceDetail->DevicePath, 512);
        std::string path = narrow;
        platform::HeapFreeBlock(narrow);
        return path;
    }

    std::string root, savedRoot, savedModule;
};

}  // namespace

TEST_F(InterfaceLists, ListsHoldPresentDevicesAndHubsInEnumerationOrder) {
    install();
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList), (std::vector<std::string>{kKeyA, kKeyHub, kKeyB, kKeyC}));
    EXPECT_EQ(driverNames(hubInterfaceList), (std::vector<std::string>{rootHubKey(), kKeyHub}));
    EXPECT_EQ(sim::openCounts().deviceInfoSets, before.deviceInfoSets + 2);

    sim::Machine machine = sim::machineCopy();
    const InterfaceNode* a = findInterfaceNode("{36fc9e60-c465-11cf-8056-444553540000}\\0101", 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(pathOf(a), sim::findDevice(machine, 0x1A2B, 0x0401)->usbInterface.path);
    EXPECT_STREQ(a->deviceDesc, "WinUsb Device");
    EXPECT_EQ(a->deviceInfoSet, deviceInterfaceList.deviceInfoSet);
    EXPECT_EQ(a->interfaceDetail->cbSize, 8u);

    const InterfaceNode* hub = findInterfaceNode(kKeyHub, 1);
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(pathOf(hub), sim::findDevice(machine, 0x1A2B, 0x0402)->hub.interface.path);
    // The hub flag searches the hub list only.
    EXPECT_EQ(findInterfaceNode(kKeyA, 1), nullptr);
    EXPECT_EQ(findInterfaceNode("{36FC9E60-C465-11CF-8056-444553540000}\\9999", 0), nullptr);
}

TEST_F(InterfaceLists, KeywordInTheConfigurationFileSelectsTheFixedClass) {
    install();
    std::ofstream(root + "/c/lib/Tamberlyx.cfg") << "# devices\nUseInfGuid\n";
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList), std::vector<std::string>{kKeyA});
    EXPECT_EQ(findInterfaceNode(kKeyC, 0), nullptr);
    sim::Machine machine = sim::machineCopy();
    EXPECT_EQ(pathOf(deviceInterfaceList.first), sim::findDevice(machine, 0x1A2B, 0x0401)->fixedClassInterface.path);

    // Read anew at every build: without the keyword the default class is back.
    std::ofstream(root + "/c/lib/Tamberlyx.cfg") << "useinfguid \n";
    clearInterfaceList(deviceInterfaceList);
    clearInterfaceList(hubInterfaceList);
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList).size(), 4u);
}

TEST_F(InterfaceLists, HubWithoutDescriptionHidesTheHubsAfterIt) {
    // Three hubs: the root hub, then two external ones; the first external
    // hub (the second in the list) has no description.
    sim::Machine machine =
        sim::MachineBuilder()
            .controller(sim::ControllerBuilder().rootHub(
                sim::HubBuilder(4)
                    .device(1, sim::DeviceBuilder(0x1A2B, 0x0411).hub(sim::HubBuilder(2)).edit([](sim::Device& d) {
                        d.node.description.reset();
                    }))
                    .device(2, sim::DeviceBuilder(0x1A2B, 0x0412).hub(sim::HubBuilder(2)))))
            .build();
    sim::installMachine(machine);
    buildInterfaceLists();
    EXPECT_EQ(driverNames(hubInterfaceList), std::vector<std::string>{*machine.controllers[0].rootHubNode.driver});
}

TEST_F(InterfaceLists, FirstInterfaceThatCannotBeDescribedEndsTheList) {
    const std::vector<std::function<void(sim::Device&)>> faults = {
        [](sim::Device& d) { d.node.enumError = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.node.driver.reset(); },
        [](sim::Device& d) { d.node.propertyErrors[platform::kSpdrpDeviceDesc] = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.usbInterface.enumError = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.usbInterface.sizeQueryError = platform::kErrorGenFailure; },
        [](sim::Device& d) { d.usbInterface.detailError = platform::kErrorGenFailure; },
    };
    for (size_t k = 0; k < faults.size(); ++k) {
        install([&](sim::Machine& m) { faults[k](*sim::findDevice(m, 0x1A2B, 0x0403)); });
        buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
        EXPECT_EQ(driverNames(deviceInterfaceList), (std::vector<std::string>{kKeyA, kKeyHub})) << "fault " << k;
        clearInterfaceList(deviceInterfaceList);
    }
    // An allocation failing at any point ends the list without a leak.
    install();
    for (uint64_t n = 1; n <= 12; ++n) {
        sim::failNthCall("HeapAlloc", n, platform::kErrorNotEnoughMemory);
        buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
        EXPECT_LT(driverNames(deviceInterfaceList).size(), 4u) << "allocation " << n;
        clearInterfaceList(deviceInterfaceList);
        sim::clearFaults();
    }
}

TEST_F(InterfaceLists, DetailSizeAnswersAreNotTrusted) {
    // A size query that claims success goes on as if it had asked.
    install([](sim::Machine& m) { sim::findDevice(m, 0x1A2B, 0x0401)->usbInterface.sizeQueryReportsSuccess = true; });
    buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
    EXPECT_EQ(driverNames(deviceInterfaceList).size(), 4u);
    clearInterfaceList(deviceInterfaceList);

    // A reported size too small for the record itself is never written
    // past; the read fails and ends the list.
    for (uint32_t reported : {0u, 2u, 7u}) {
        install([reported](sim::Machine& m) {
            sim::findDevice(m, 0x1A2B, 0x0402)->usbInterface.reportedRequiredSize = reported;
        });
        buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
        EXPECT_EQ(driverNames(deviceInterfaceList), std::vector<std::string>{kKeyA}) << reported;
        clearInterfaceList(deviceInterfaceList);
    }

    // A reported size larger than needed still gives the whole path.
    install([](sim::Machine& m) { sim::findDevice(m, 0x1A2B, 0x0401)->usbInterface.reportedRequiredSize = 1001; });
    buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
    ASSERT_NE(deviceInterfaceList.first, nullptr);
    sim::Machine machine = sim::machineCopy();
    EXPECT_EQ(pathOf(deviceInterfaceList.first), sim::findDevice(machine, 0x1A2B, 0x0401)->usbInterface.path);
}

TEST_F(InterfaceLists, RebuildingReplacesTheLastWalksListsAndClearingReleasesAll) {
    install();
    buildInterfaceLists();
    sim::Counts afterFirst = sim::openCounts();
    platform::DevInfoSet firstSet = deviceInterfaceList.deviceInfoSet;

    // Device C is unplugged before the next walk.
    install([](sim::Machine& m) { sim::findPort(m, {0, 3})->device.reset(); });
    buildInterfaceLists();
    EXPECT_EQ(driverNames(deviceInterfaceList), (std::vector<std::string>{kKeyA, kKeyHub, kKeyB}));
    EXPECT_NE(deviceInterfaceList.deviceInfoSet, firstSet);
    sim::Counts afterSecond = sim::openCounts();
    EXPECT_EQ(afterSecond.deviceInfoSets, afterFirst.deviceInfoSets);
    EXPECT_LT(afterSecond.heapBlocks, afterFirst.heapBlocks);

    clearInterfaceList(deviceInterfaceList);
    clearInterfaceList(hubInterfaceList);
    EXPECT_EQ(deviceInterfaceList.deviceInfoSet, platform::invalidHandle());
    EXPECT_EQ(deviceInterfaceList.first, nullptr);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    clearInterfaceList(deviceInterfaceList);  // clearing an empty list is harmless
}

TEST_F(InterfaceLists, MachineWithoutInterfacesGivesEmptyLists) {
    sim::installMachine(sim::Machine{});
    buildInterfaceLists();
    EXPECT_EQ(hubInterfaceList.first, nullptr);
    EXPECT_EQ(deviceInterfaceList.first, nullptr);
    EXPECT_EQ(findInterfaceNode(kKeyHub, 1), nullptr);
    EXPECT_EQ(findInterfaceNode(kKeyA, 0), nullptr);

    install();
    sim::failNthCall("SetupDiGetClassDevsW", 1, platform::kErrorNotEnoughMemory);
    buildInterfaceList(hubInterfaceList, platform::kGuidDevinterfaceUsbHub);
    EXPECT_EQ(hubInterfaceList.deviceInfoSet, platform::invalidHandle());
    EXPECT_EQ(hubInterfaceList.first, nullptr);
}

TEST_F(InterfaceLists, ReleasingANodeClearsTheReference) {
    InterfaceNode* node = static_cast<InterfaceNode*>(platform::HeapAllocZero(sizeof(InterfaceNode)));
    node->driverName = static_cast<char*>(platform::HeapAllocZero(4));
    releaseInterfaceNode(node);
    EXPECT_EQ(node, nullptr);
    releaseInterfaceNode(node);
}
