// The HID path search: which HID interface belongs to a walked device, and
// what the entry takes from it.
#include <string>

#include "platform/usb_requests.h"
#include "walk_fixture.h"

using namespace testsupport;

namespace {

void installOnRootHub(const std::vector<sim::Device>& devices) {
    sim::HubBuilder hub(static_cast<uint8_t>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i) hub.device(static_cast<uint32_t>(i + 1), devices[i]);
    sim::installMachine(sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(hub)).build());
}

std::string pathOf(const sim::HidInterface& hid) { return hid.interface.path; }

}  // namespace

TEST_F(WalkTest, HidDeviceGetsThePathOfItsHidInterface) {
    sim::Device pad = hidDevice(0x1A2B, 0x0002, "SN2").build();
    sim::Device loop = sim::DeviceBuilder(0x1A2B, 0x0001).strings("Maker", "Loop", "SN1").winUsb().build();
    installOnRootHub({loop, pad});
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_FALSE(d[0].hasHidPath);
    EXPECT_EQ(d[0].isHid, 0);
    EXPECT_EQ(d[1].hidPath, pathOf(pad.hidInterfaces[0]));
    EXPECT_EQ(d[1].isHid, 1);
    EXPECT_EQ(d[1].driverSupported, 1);  // "HidUsb"
}

TEST_F(WalkTest, HidInterfaceOpenElsewhereIsNotFound) {
    sim::Device pad = hidDevice(0x1A2B, 0x0002, "SN2").build();
    installOnRootHub({pad});
    const std::string narrow = pathOf(pad.hidInterfaces[0]);
    std::u16string path(narrow.begin(), narrow.end());
    platform::Handle held = platform::CreateFileW(path.c_str(), platform::kGenericRead, platform::kFileShareRead |
                                                  platform::kFileShareWrite, nullptr, platform::kOpenExisting, 0, nullptr);
    ASSERT_TRUE(platform::isValidHandle(held));
    std::vector<WalkedDevice> d = walk();
    platform::CloseHandle(held);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_FALSE(d[0].hasHidPath);
    EXPECT_EQ(d[0].isHid, 0);
    EXPECT_EQ(walk()[0].hidPath, pathOf(pad.hidInterfaces[0]));  // found again once it is closed
}

TEST_F(WalkTest, FirstOfTwoMatchingHidInterfacesGivesThePath) {
    sim::Device composite = hidDevice(0x1A2B, 0x0003, "SN3").hidInterface().build();
    ASSERT_EQ(composite.hidInterfaces.size(), 2u);
    installOnRootHub({composite});
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].hidPath, pathOf(composite.hidInterfaces[0]));
}

TEST_F(WalkTest, HidInterfaceWithoutAllThreeStringsNeverMatches) {
    sim::Device noSerial = sim::DeviceBuilder(0x1A2B, 0x0004).manufacturer("Maker").product("Pad").hid().build();
    sim::Device noStrings = sim::DeviceBuilder(0x1A2B, 0x0005).hid().build();
    installOnRootHub({noSerial, noStrings});
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].serial, "?");
    EXPECT_FALSE(d[0].hasHidPath);
    EXPECT_FALSE(d[1].hasHidPath);
}

TEST_F(WalkTest, UnknownTextsAreTakenFromTheMatchingHidInterface) {
    // The device names no strings; its HID interface does, and only the
    // ids decide.
    sim::Device bare = sim::DeviceBuilder(0x1A2B, 0x0006).hid().edit([](sim::Device& d) {
        d.hidInterfaces[0].manufacturer = "Hid Maker";
        d.hidInterfaces[0].product = std::string(200, 'p');  // longer than the 127 characters kept
        d.hidInterfaces[0].serialNumber = "";                // an empty serial reads "?"
    }).build();
    // The manufacturer is unknown, product and serial number agree.
    sim::Device partly = hidDevice(0x1A2B, 0x0007, "SN7").edit([](sim::Device& d) {
        d.descriptor.iManufacturer = 0;
        d.hidInterfaces[0].manufacturer = "From Hid";
    }).build();
    installOnRootHub({bare, partly});
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].manufacturer, "Hid Maker");
    EXPECT_EQ(d[0].product, std::string(127, 'p'));
    EXPECT_EQ(d[0].serial, "?");
    EXPECT_EQ(d[0].hidPath, pathOf(bare.hidInterfaces[0]));
    EXPECT_EQ(d[1].manufacturer + "|" + d[1].product + "|" + d[1].serial, "From Hid|Pad|SN7");
    EXPECT_TRUE(d[1].hasHidPath);
}

TEST_F(WalkTest, HidInterfaceThatDiffersInIdsOrTextIsNotMatched) {
    sim::Device otherCase = hidDevice(0x1A2B, 0x0008, "SN8").edit([](sim::Device& d) {
        d.hidInterfaces[0].product = "PAD";
    }).build();
    sim::Device otherProduct = hidDevice(0x1A2B, 0x0009, "SN9").edit([](sim::Device& d) {
        d.hidInterfaces[0].productId = 0x0010;
    }).build();
    installOnRootHub({otherCase, otherProduct});
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_FALSE(d[0].hasHidPath);
    EXPECT_FALSE(d[1].hasHidPath);
    EXPECT_EQ(d[0].product, "Pad");
}

TEST_F(WalkTest, HidInterfacesThatCannotBeOpenedReadOrNamedWholeAreSkipped) {
    sim::Device device = hidDevice(0x1A2B, 0x000A, "SNA")
                             .hidInterface([](sim::HidInterface& h) { h.attributesError = 31; })
                             .hidInterface([](sim::HidInterface& h) {
                                 h.interface.path = "\\\\?\\hid#" + std::string(600, 'l') + "#{4d1e55b2}";
                             })
                             .hidInterface([](sim::HidInterface& h) {
                                 h.interface.path = "\\\\?\\hid#vid_1a2b&pid_000a#\xC5\x81#{4d1e55b2}";
                             })
                             .hidInterface([](sim::HidInterface& h) { h.interface.reportedRequiredSize = 2; })
                             .hidInterface()
                             .edit([](sim::Device& d) { d.hidInterfaces[0].openError = 5; })
                             .build();
    ASSERT_EQ(device.hidInterfaces.size(), 6u);
    installOnRootHub({device});
    std::vector<WalkedDevice> d = walk();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].hidPath, pathOf(device.hidInterfaces[5]));
}
