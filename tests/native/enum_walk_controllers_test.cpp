// The top of the walk: which host controllers are visited, what is recorded
// about each, and the PCI identity read from its instance id.
#include <cstring>

#include "enum/host_controller_info.h"
#include "enum/pci_instance_id.h"
#include "walk_fixture.h"

using namespace testsupport;

namespace {

sim::ControllerBuilder controllerWith(uint16_t vendor, uint16_t product) {
    return sim::ControllerBuilder().rootHub(sim::HubBuilder(2).device(
        1, sim::DeviceBuilder(vendor, product).strings("Maker", "Thing", "S" + std::to_string(product)).winUsb()));
}

std::vector<uint16_t> productsOf(const std::vector<WalkedDevice>& devices) {
    std::vector<uint16_t> products;
    for (const WalkedDevice& d : devices) products.push_back(d.productId);
    return products;
}

std::vector<const HostControllerInfo*> controllerRecords() {
    std::vector<const HostControllerInfo*> records;
    for (const HostControllerInfo* info = hostControllerList.first; info != nullptr; info = info->next)
        records.push_back(info);
    return records;
}

}  // namespace

TEST_F(WalkTest, MachineWithoutControllersGivesAnEmptyResult) {
    sim::installMachine(sim::Machine());
    EnumerationResult* result = enumerateUsbTree(nullptr);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->firstEntry, nullptr);
    EXPECT_EQ(result->deviceCount, 0);
    EXPECT_EQ(currentResult, result);
    releaseWalkResult(result);
    EXPECT_EQ(hostControllerList.first, nullptr);
}

TEST_F(WalkTest, ControllerThatCannotBeOpenedIsSkippedAndTheNextOnesAreWalked) {
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1).edit([](sim::HostController& c) { c.openError = 5; }))
                .controller(controllerWith(0x1111, 2))
                .controller(controllerWith(0x1111, 3)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{2, 3}));
    EXPECT_EQ(controllerRecords().size(), 2u);
}

TEST_F(WalkTest, ControllerReportedTwiceIsWalkedOnce) {
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1).driverKey("{36fc9e60-c465-11cf-8056-444553540000}\\0042"))
                .controller(controllerWith(0x1111, 2))
                .controller(controllerWith(0x1111, 3).driverKey("{36fc9e60-c465-11cf-8056-444553540000}\\0042")));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{1, 2}));
    ASSERT_EQ(controllerRecords().size(), 2u);
    EXPECT_STREQ(controllerRecords()[0]->driverKey, "{36fc9e60-c465-11cf-8056-444553540000}\\0042");
}

TEST_F(WalkTest, ControllerWithoutDriverKeyIsSkipped) {
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1).edit([](sim::HostController& c) {
                    c.driverKeyAnswer.actualLength = 6;  // nothing but the head
                }))
                .controller(controllerWith(0x1111, 2)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{2}));
    EXPECT_EQ(controllerRecords().size(), 1u);
}

TEST_F(WalkTest, ControllerRecordHoldsItsIdentityPowerMapAndBusAddress) {
    install(sim::MachineBuilder().controller(
        controllerWith(0x1111, 1).pci(0x8086, 0xA36D, 0x86868086, 0x10).busAddress(3, 0x14, 2).edit(
            [](sim::HostController& c) {
                c.powerMap[2].failWith = 31;  // the request for state 103 fails
                c.controllerInfo.info.NumberOfRootPorts = 2;
                c.controllerInfo.info.ControllerFlavor = 0x2A;
            })));
    EXPECT_EQ(walk().size(), 1u);
    ASSERT_EQ(controllerRecords().size(), 1u);
    const HostControllerInfo& info = *controllerRecords()[0];
    EXPECT_EQ(info.infoType, 0u);
    EXPECT_EQ(info.pciVendorId, 0x8086u);
    EXPECT_EQ(info.pciDeviceId, 0xA36Du);
    EXPECT_EQ(info.pciSubsystemId, 0x86868086u);
    EXPECT_EQ(info.pciRevision, 0x10u);
    EXPECT_EQ(info.busDeviceFunctionValid, 1);
    EXPECT_EQ(info.busNumber, 3u);
    EXPECT_EQ(info.busDevice, 0x14);
    EXPECT_EQ(info.busFunction, 2);
    for (int k = 0; k < kPowerMapSlots; ++k) {
        uint32_t expected = k == 2 ? 0u : 101u + k;
        uint32_t state = info.powerMap[k].SystemState;  // a packed field, copied before it is compared
        EXPECT_EQ(state, expected) << "slot " << k;
    }
    ASSERT_NE(info.controllerInfo, nullptr);
    platform::UsbControllerInfo0 controller = *info.controllerInfo;
    uint32_t pciVendor = controller.PciVendorId, flavor = controller.ControllerFlavor;
    EXPECT_EQ(pciVendor, 0x8086u);
    EXPECT_EQ(flavor, 0x2Au);
    ASSERT_NE(info.UsbDeviceProperties, nullptr);
    EXPECT_STREQ(info.UsbDeviceProperties->Service, "USBXHCI");
}

TEST_F(WalkTest, ControllerOffPciKeepsZeroIdsAndIsStillWalked) {
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1).instanceId("ACPI\\VTRL0D10\\0"))
                .controller(controllerWith(0x1111, 2).instanceId("PCI\\VEN_8086&DEV_A36D&SUBSYS=7&REV_10\\3&0")));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{1, 2}));
    ASSERT_EQ(controllerRecords().size(), 2u);
    const HostControllerInfo& acpi = *controllerRecords()[0];
    EXPECT_EQ(acpi.pciVendorId, 0u);
    EXPECT_EQ(acpi.pciDeviceId, 0u);
    EXPECT_EQ(acpi.busDeviceFunctionValid, 0);  // no bus number, so no address either
    const HostControllerInfo& half = *controllerRecords()[1];
    EXPECT_EQ(half.pciVendorId, 0x8086u);
    EXPECT_EQ(half.pciDeviceId, 0xA36Du);
    EXPECT_EQ(half.pciSubsystemId, 0u);
    EXPECT_EQ(half.pciRevision, 0u);
}

TEST_F(WalkTest, ControllerInterfaceThatCannotBeReadEndsTheVisitButKeepsTheResult) {
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1))
                .controller(controllerWith(0x1111, 2).edit([](sim::HostController& c) { c.interface.detailError = 5; }))
                .controller(controllerWith(0x1111, 3)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{1}));

    // A size query that answers with success is taken as an answer; one
    // that fails with any error but 122 and 183 ends the visit.
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1).edit([](sim::HostController& c) {
                    c.interface.sizeQueryReportsSuccess = true;
                }))
                .controller(controllerWith(0x1111, 2).edit([](sim::HostController& c) {
                    c.interface.sizeQueryError = platform::kErrorAccessDenied;
                }))
                .controller(controllerWith(0x1111, 3)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{1}));
}

TEST_F(WalkTest, LyingSizesFromTheSystemAndTheDriversAreSurvived) {
    install(sim::MachineBuilder()
                .controller(controllerWith(0x1111, 1).edit([](sim::HostController& c) {
                    c.rootHubNameAnswer.actualLength = 2;  // shorter than its own head
                }))
                .controller(controllerWith(0x1111, 2).edit([](sim::HostController& c) {
                    c.rootHubNameAnswer.actualLength = 0xFFFFFFF0u;
                }))
                .controller(controllerWith(0x1111, 3).edit([](sim::HostController& c) {
                    c.interface.reportedRequiredSize = 3;  // less than the detail record's own head
                })));
    EXPECT_TRUE(walk().empty());
    EXPECT_EQ(controllerRecords().size(), 2u);  // both recorded, neither root hub walked
}

TEST_F(WalkTest, EachWalkStartsAfreshAndLeavesEarlierResultsAlone) {
    install(sim::MachineBuilder().controller(controllerWith(0x1111, 1)));
    DeviceFilter all{0xFFFF, nullptr};
    EnumerationResult* first = enumerateUsbTree(&all);
    ASSERT_NE(first, nullptr);
    install(sim::MachineBuilder().controller(controllerWith(0x1111, 2)).controller(controllerWith(0x1111, 3)));
    EnumerationResult* second = enumerateUsbTree(&all);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(currentResult, second);
    EXPECT_EQ(controllerRecords().size(), 2u);
    ASSERT_NE(first->firstEntry, nullptr);
    EXPECT_EQ(first->firstEntry->productId, 1);
    EXPECT_STREQ(first->firstEntry->deviceDescription, "Thing");
    EXPECT_EQ(first->firstEntry->next, nullptr);
    ASSERT_NE(second->firstEntry, nullptr);
    EXPECT_EQ(second->firstEntry->productId, 2);
    releaseWalkResult(first);
    releaseWalkResult(second);
}

TEST(PciInstanceId, ReadsWhatMatchesAndKeepsNumbersConvertedBeforeAMismatch) {
    PciIds ids{};
    EXPECT_EQ(scanPciInstanceId("PCI\\VEN_8086&DEV_A36D&SUBSYS_00000000&REV_10\\3&11583659&0&A0", &ids), 4);
    EXPECT_EQ(ids.vendorId, 0x8086u);
    EXPECT_EQ(ids.deviceId, 0xA36Du);
    EXPECT_EQ(ids.subsystemId, 0u);
    EXPECT_EQ(ids.revision, 0x10u);

    ids = PciIds{};
    EXPECT_EQ(scanPciInstanceId("PCI\\VEN_1B6F&DEV_7052&SUBSYS", &ids), 2);
    EXPECT_EQ(ids.vendorId, 0x1B6Fu);
    EXPECT_EQ(ids.deviceId, 0x7052u);
    EXPECT_EQ(ids.subsystemId, 0u);

    ids = PciIds{};
    EXPECT_EQ(scanPciInstanceId("pci\\VEN_8086&DEV_1", &ids), 0);  // literal text is matched exactly
    EXPECT_EQ(scanPciInstanceId("ACPI\\VTRL0D10\\0", &ids), 0);
    EXPECT_EQ(scanPciInstanceId("PCI\\VEN_", &ids), 0);  // ends where a number should start
    EXPECT_EQ(scanPciInstanceId("PCI\\VEN_&DEV_12", &ids), 0);
    EXPECT_EQ(scanPciInstanceId("", &ids), 0);
    EXPECT_EQ(scanPciInstanceId(nullptr, &ids), 0);
    EXPECT_EQ(ids.vendorId, 0u);
}

TEST(PciInstanceId, NumbersAreReadTheWayTheScanFormatReadsThem) {
    PciIds ids{};
    EXPECT_EQ(scanPciInstanceId("PCI\\VEN_ 0x8086&DEV_-1&SUBSYS_123456789&REV_0xZ", &ids), 4);
    EXPECT_EQ(ids.vendorId, 0x8086u);
    EXPECT_EQ(ids.deviceId, 0xFFFFFFFFu);
    EXPECT_EQ(ids.subsystemId, 0x23456789u);  // only the low 32 bits of an overlong number
    EXPECT_EQ(ids.revision, 0u);              // "0" read, the "x" that follows is not a digit
}
