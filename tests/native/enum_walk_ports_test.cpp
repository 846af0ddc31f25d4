// The hub and port walk: which ports are asked, the order of the entries,
// how an entry's texts, sequence number and driver mark are made, and which
// devices are left out.
#include <cstdio>
#include <string>

#include "walk_fixture.h"

using namespace testsupport;

namespace {

sim::DeviceBuilder winUsbDevice(uint16_t vendor, uint16_t product) {
    return sim::DeviceBuilder(vendor, product).strings("Maker", "Thing", "S" + std::to_string(product)).winUsb();
}

void installRootHub(const sim::HubBuilder& hub) {
    sim::installMachine(sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(hub)).build());
}

std::vector<uint16_t> productsOf(const std::vector<WalkedDevice>& devices) {
    std::vector<uint16_t> products;
    for (const WalkedDevice& d : devices) products.push_back(d.productId);
    return products;
}

// The ports asked for their connection, in order, from the journal.
std::vector<uint32_t> portsAsked() {
    std::vector<uint32_t> ports;
    for (const sim::JournalRecord& r : sim::journal()) {
        if (r.arguments.rfind("GET_NODE_CONNECTION_INFORMATION_EX ", 0) != 0) continue;
        unsigned port = 0;
        std::sscanf(r.arguments.c_str(), "GET_NODE_CONNECTION_INFORMATION_EX port=%u", &port);
        ports.push_back(port);
    }
    return ports;
}

}  // namespace

TEST_F(WalkTest, EntryOfAWalkedDeviceHoldsItsIdentityAndFreshState) {
    sim::Device device = winUsbDevice(0x1A2B, 0x0007).release(0x0310).build();
    installRootHub(sim::HubBuilder(1).device(1, device));
    std::vector<WalkedDevice> devices = walk();
    ASSERT_EQ(devices.size(), 1u);
    const WalkedDevice& d = devices[0];
    EXPECT_EQ(d.vendorId, 0x1A2B);
    EXPECT_EQ(d.productId, 0x0007);
    EXPECT_EQ(d.bcdDevice, 0x0310);
    const auto* expected = reinterpret_cast<const uint8_t*>(&device.descriptor);
    EXPECT_EQ(d.descriptor, std::vector<uint8_t>(expected, expected + 18));
    EXPECT_EQ(d.manufacturer, "Maker");
    EXPECT_EQ(d.product, "Thing");
    EXPECT_EQ(d.serial, "S7");
    EXPECT_EQ(d.devicePath, device.usbInterface.path);
    EXPECT_FALSE(d.hasHidPath);
    EXPECT_EQ(d.isHid, 0);
    EXPECT_EQ(d.driverSupported, 1);
    EXPECT_EQ(d.stateA + d.stateB + d.present + d.reportedPresent, 4);
    EXPECT_EQ(d.isOpen, 0);
    EXPECT_TRUE(d.fileHandleInvalid);
}

TEST_F(WalkTest, PortsAreAskedFromOneToThePortCountTheHubReports) {
    installRootHub(sim::HubBuilder(3)
                       .device(1, winUsbDevice(0x1111, 1))
                       .device(3, winUsbDevice(0x1111, 3))
                       .edit([](sim::Hub& h) { h.reportedPortCount = 4; }));
    sim::startJournal();
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{1, 3}));
    EXPECT_EQ(portsAsked(), (std::vector<uint32_t>{1, 2, 3, 4}));

    installRootHub(sim::HubBuilder(2).device(1, winUsbDevice(0x1111, 1)).edit([](sim::Hub& h) {
        h.reportedPortCount = 0;
    }));
    sim::startJournal();
    EXPECT_TRUE(walk().empty());
    EXPECT_TRUE(portsAsked().empty());
}

TEST_F(WalkTest, EmptyPortUsesUpASequenceNumberWhenItsVendorPasses) {
    installRootHub(sim::HubBuilder(3).device(1, winUsbDevice(0x1111, 1)).device(3, winUsbDevice(0x1111, 3)));
    std::vector<WalkedDevice> all = walk();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].sequenceNumber - all[0].sequenceNumber, 2);  // the empty port 2 took one

    std::vector<WalkedDevice> one = walk({0x1111});  // vendor 0 of the empty port does not pass
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[1].sequenceNumber - one[0].sequenceNumber, 1);
}

TEST_F(WalkTest, LegacyConnectionRequestStandsInAndAPortBothFailOnIsSkipped) {
    sim::Port legacyOnly;
    legacyOnly.device = winUsbDevice(0x1111, 1).build();
    legacyOnly.connectionInfoExError = platform::kErrorNotSupported;
    sim::Port neither = legacyOnly;
    neither.device = winUsbDevice(0x1111, 2).build();
    neither.connectionInfoError = platform::kErrorNotSupported;
    installRootHub(sim::HubBuilder(3).port(1, legacyOnly).port(2, neither).device(3, winUsbDevice(0x1111, 3)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{1, 3}));
}

TEST_F(WalkTest, DevicesBehindAnExternalHubComeWhereTheHubIs) {
    installRootHub(
        sim::HubBuilder(3)
            .device(1, sim::DeviceBuilder(0x2222, 0x0100).hub(sim::HubBuilder(2)
                                                                  .device(1, winUsbDevice(0x1111, 11))
                                                                  .device(2, winUsbDevice(0x1111, 12))))
            .device(2, winUsbDevice(0x1111, 2))
            .device(3, sim::DeviceBuilder(0x2222, 0x0101).hub(sim::HubBuilder(1).device(
                           1, sim::DeviceBuilder(0x2222, 0x0102).hub(
                                  sim::HubBuilder(1).device(1, winUsbDevice(0x1111, 31)))))));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{11, 12, 2, 31}));  // no entry for a hub
}

TEST_F(WalkTest, ExternalHubWhoseNameCannotBeHadIsNotWalked) {
    sim::Port badName;
    badName.device = sim::DeviceBuilder(0x2222, 0x0100).hub(sim::HubBuilder(1).device(1, winUsbDevice(0x1111, 11))).build();
    badName.nodeNameAnswer.actualLength = 0xFFFFFFF8u;  // wraps below the head
    sim::Port hugeName = badName;
    hugeName.nodeNameAnswer.actualLength = 0x7FFFFFFFu;
    sim::Port longName;
    longName.device = sim::DeviceBuilder(0x2222, 0x0101)
                          .hub(sim::HubBuilder(1).name(std::string(256, 'H')).device(1, winUsbDevice(0x1111, 21)))
                          .build();
    installRootHub(
        sim::HubBuilder(4).port(1, badName).port(2, hugeName).port(3, longName).device(4, winUsbDevice(0x1111, 4)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{4}));
}

TEST_F(WalkTest, TextsComeFromTheStringDescriptorsByTheirIndices) {
    installRootHub(
        sim::HubBuilder(5)
            // iManufacturer equal to iProduct: the text fills the manufacturer only.
            .device(1, winUsbDevice(0x1111, 1).edit([](sim::Device& d) { d.descriptor.iProduct = 1; }))
            // Two languages: the one listed last wins.
            .device(2, winUsbDevice(0x1111, 2)
                           .languages({0x0409, 0x0407})
                           .string(1, 0x0407, "Hersteller")
                           .string(2, 0x0407, "Ding"))
            // No manufacturer index, an empty serial number.
            .device(3, sim::DeviceBuilder(0x1111, 3).product("Thing").serialNumber("").winUsb())
            // No configuration descriptor: no strings at all.
            .device(4, winUsbDevice(0x1111, 4).edit([](sim::Device& d) { d.configurations.clear(); }))
            // The language list cannot be read.
            .device(5, winUsbDevice(0x1111, 5).edit([](sim::Device& d) { d.languages->failWith = 31; })));
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0].manufacturer + "|" + d[0].product + "|" + d[0].serial, "Maker|?|S1");
    EXPECT_EQ(d[1].manufacturer + "|" + d[1].product + "|" + d[1].serial, "Hersteller|Ding|S2");
    EXPECT_EQ(d[2].manufacturer + "|" + d[2].product + "|" + d[2].serial, "?|Thing|?");
    EXPECT_EQ(d[3].manufacturer + "|" + d[3].product + "|" + d[3].serial, "?|?|?");
    EXPECT_EQ(d[4].manufacturer + "|" + d[4].product + "|" + d[4].serial, "?|?|?");
}

TEST_F(WalkTest, DriverMarkComesFromTheServiceNameAndADeviceWithoutOneIsLeftOut) {
    std::string longService = std::string(600, 'x');
    std::string lateWinUsb = longService;
    lateWinUsb.replace(520, 6, "WinUSB");  // beyond the 511 characters that are judged
    std::string earlyHid = longService;
    earlyHid.replace(10, 3, "hID");
    installRootHub(sim::HubBuilder(7)
                       .device(1, winUsbDevice(0x1111, 1).service("winusb"))
                       .device(2, winUsbDevice(0x1111, 2).service("HIDUSB"))
                       .device(3, winUsbDevice(0x1111, 3).service("usbstor"))
                       .device(4, winUsbDevice(0x1111, 4).edit([](sim::Device& d) { d.node.service.reset(); }))
                       .device(5, winUsbDevice(0x1111, 5).service(lateWinUsb))
                       .device(6, winUsbDevice(0x1111, 6).service(earlyHid))
                       .device(7, winUsbDevice(0x1111, 7).edit([](sim::Device& d) { d.driverKey.clear(); })));
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(productsOf(d), (std::vector<uint16_t>{1, 2, 3, 5, 6}));
    EXPECT_EQ(d[0].driverSupported, 1);
    EXPECT_EQ(d[1].driverSupported, 1);
    EXPECT_EQ(d[2].driverSupported, 0);
    EXPECT_EQ(d[3].driverSupported, 0);
    EXPECT_EQ(d[4].driverSupported, 1);
    EXPECT_EQ(d[4].sequenceNumber - d[2].sequenceNumber, 3);  // the discarded device kept its number
}

TEST_F(WalkTest, SequenceNumbersRunToThirtyOneThousandNineHundredNinetyNineThenStartAgain) {
    installRootHub(sim::HubBuilder(2).device(1, winUsbDevice(0x1111, 1)).device(2, winUsbDevice(0x1111, 2)));
    for (int i = 0; i < 32000 && nextSequenceNumber() != 31998; ++i) {
    }
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].sequenceNumber, 31999);
    EXPECT_EQ(d[1].sequenceNumber, 1);
}

TEST_F(WalkTest, FilterChainSelectsVendorsAndAnEmptyChainNone) {
    installRootHub(sim::HubBuilder(4)
                       .device(1, winUsbDevice(0x1111, 1))
                       .device(2, winUsbDevice(0x0000, 2))
                       .device(3, winUsbDevice(0x2222, 3))
                       .device(4, winUsbDevice(0xFFFF, 4)));
    EXPECT_TRUE(walk({}).empty());
    EXPECT_EQ(productsOf(walk({0xFFFF})), (std::vector<uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(productsOf(walk({0x2222})), (std::vector<uint16_t>{3}));
    EXPECT_EQ(productsOf(walk({0x0000})), (std::vector<uint16_t>{2}));
    EXPECT_EQ(productsOf(walk({0x3333, 0x1111, 0x2222})), (std::vector<uint16_t>{1, 3}));
}

TEST_F(WalkTest, InterfacePathIsTakenOnlyWhenItNarrowsUnchanged) {
    installRootHub(sim::HubBuilder(3)
                       .device(1, winUsbDevice(0x1111, 1).interfacePath("\\\\?\\usb#vid_1111&pid_0001#\xC5\x81#{x}"))
                       .device(2, winUsbDevice(0x1111, 2).interfacePath("\\\\?\\usb#vid_1111&pid_0002#\xC3\xA9#{x}"))
                       .device(3, winUsbDevice(0x1111, 3).edit([](sim::Device& d) { d.usbInterface.path.clear(); })));
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_FALSE(d[0].hasDevicePath);  // U+0141 would narrow to 'A', another path
    EXPECT_EQ(d[1].devicePath, "\\\\?\\usb#vid_1111&pid_0002#\xE9#{x}");
    EXPECT_FALSE(d[2].hasDevicePath);
}

TEST_F(WalkTest, LyingHubAnswersAreSurvived) {
    sim::Port lyingKey;
    lyingKey.device = winUsbDevice(0x1111, 1).build();
    lyingKey.driverKeyAnswer.actualLength = 0xFFFFFFFFu;
    installRootHub(sim::HubBuilder(3)
                       .port(1, lyingKey)
                       // A configuration answer too short ends the device's
                       // descriptor requests, so the language-list lie sits
                       // on a device of its own.
                       .device(2, winUsbDevice(0x1111, 2).edit([](sim::Device& d) {
                           d.configurations[0].bytesReturned = 7;
                       }))
                       .device(3, winUsbDevice(0x1111, 3).edit([](sim::Device& d) {
                           d.languages->bytesReturned = 300;
                       })));
    sim::startJournal();
    std::vector<WalkedDevice> d = walk();
    EXPECT_EQ(productsOf(d), (std::vector<uint16_t>{2, 3}));  // port 1 has no driver key, so no service
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].manufacturer, "?");
    // Port 3's language list was asked for (and only it: a list longer than
    // its answer is no list), and the device is kept without its texts.
    size_t stringRequests = 0;
    for (const sim::JournalRecord& record : sim::journal())
        if (record.arguments == "GET_DESCRIPTOR_FROM_NODE_CONNECTION port=3 in=267 out=267") ++stringRequests;
    EXPECT_EQ(stringRequests, 1u);
    EXPECT_EQ(d[1].manufacturer, "?");
    EXPECT_EQ(d[1].serial, "?");
}

TEST_F(WalkTest, HubNamesThatLeadBackOrAcrossTheTreeAreWalkedOnce) {
    sim::HubBuilder shared = sim::HubBuilder(1).name("SHARED").device(1, winUsbDevice(0x1111, 21));
    installRootHub(sim::HubBuilder(4)
                       .name("ROOT")
                       // Names the root hub itself: walking it would never end.
                       .device(1, sim::DeviceBuilder(0x2222, 0x0100).hub(sim::HubBuilder(1).name("root")))
                       .device(2, sim::DeviceBuilder(0x2222, 0x0101).hub(shared))
                       .device(3, sim::DeviceBuilder(0x2222, 0x0102).hub(shared))
                       .device(4, winUsbDevice(0x1111, 4)));
    EXPECT_EQ(productsOf(walk()), (std::vector<uint16_t>{21, 4}));
}
