// The simulated HID library and the opening of paths: attributes, the
// three strings, share modes and what cannot be opened.
#include <gtest/gtest.h>

#include "platform/hid.h"
#include "sim_fixture.h"

using namespace testsupport;

namespace {

class HidAndOpens : public SimulatedMachineTest {
protected:
    void SetUp() override {
        machine = sim::MachineBuilder()
                      .controller(sim::ControllerBuilder().rootHub(
                          sim::HubBuilder(2)
                              .device(1, sim::DeviceBuilder(0x2222, 0x0002)
                                             .release(0x0321)
                                             .strings("Atelier", "Balance de précision", "SN-7")
                                             .hid())
                              .device(2, sim::DeviceBuilder(0x2222, 0x0003).product("Only product").hid())))
                      .build();
        install(machine);
        full = machine.controllers[0].rootHub.ports[0].device->hidInterfaces[0];
        partial = machine.controllers[0].rootHub.ports[1].device->hidInterfaces[0];
    }

    static platform::Handle openExclusive(const std::string& path) {
        std::u16string wide(path.begin(), path.end());
        return platform::CreateFileW(wide.c_str(), platform::kGenericRead | platform::kGenericWrite, 0, nullptr,
                                     platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
    }

    sim::Machine machine;
    sim::HidInterface full, partial;
};

TEST_F(HidAndOpens, AttributesAndStringsComeFromTheHidInterface) {
    platform::Guid guid{};
    platform::HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid, platform::kGuidDevinterfaceHid);

    platform::Handle h = openExclusive(full.interface.path);
    ASSERT_TRUE(platform::isValidHandle(h));
    platform::HiddAttributes attributes{};
    attributes.Size = 12;
    ASSERT_TRUE(platform::HidD_GetAttributes(h, &attributes));
    EXPECT_EQ(copyOf(attributes.VendorID), 0x2222);
    EXPECT_EQ(copyOf(attributes.ProductID), 0x0002);
    EXPECT_EQ(copyOf(attributes.VersionNumber), 0x0321);

    std::vector<uint8_t> buffer(500, 0);
    ASSERT_TRUE(platform::HidD_GetManufacturerString(h, buffer.data(), 500));
    EXPECT_EQ(textAt(buffer, 0), u"Atelier");
    ASSERT_TRUE(platform::HidD_GetProductString(h, buffer.data(), 500));
    EXPECT_EQ(textAt(buffer, 0), u"Balance de pr\u00e9cision");
    ASSERT_TRUE(platform::HidD_GetSerialNumberString(h, buffer.data(), 500));
    EXPECT_EQ(textAt(buffer, 0), u"SN-7");
    // A short buffer gets the text cut and still terminated.
    std::vector<uint8_t> small(8, 0xAA);
    ASSERT_TRUE(platform::HidD_GetProductString(h, small.data(), 8));
    EXPECT_EQ(textAt(small, 0), u"Bal");
    platform::CloseHandle(h);

    h = openExclusive(partial.interface.path);
    ASSERT_TRUE(platform::isValidHandle(h));
    EXPECT_FALSE(platform::HidD_GetManufacturerString(h, buffer.data(), 500));
    EXPECT_FALSE(platform::HidD_GetSerialNumberString(h, buffer.data(), 500));
    EXPECT_TRUE(platform::HidD_GetProductString(h, buffer.data(), 500));
    platform::CloseHandle(h);
}

TEST_F(HidAndOpens, HidCallsOnAnythingButAnOpenHidInterfaceFail) {
    platform::HiddAttributes attributes{};
    EXPECT_FALSE(platform::HidD_GetAttributes(reinterpret_cast<platform::Handle>(0x1234), &attributes));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
    platform::Handle hub = openHub(machine.controllers[0].rootHub);
    ASSERT_TRUE(platform::isValidHandle(hub));
    EXPECT_FALSE(platform::HidD_GetAttributes(hub, &attributes));
    platform::CloseHandle(hub);

    sim::withMachine([](sim::Machine& m) {
        m.controllers[0].rootHub.ports[0].device->hidInterfaces[0].attributesError = platform::kErrorGenFailure;
    });
    platform::Handle h = openExclusive(full.interface.path);
    EXPECT_FALSE(platform::HidD_GetAttributes(h, &attributes));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorGenFailure);
    // The device goes away while the handle is open.
    sim::withMachine([](sim::Machine& m) { m.controllers[0].rootHub.ports[0].device.reset(); });
    std::vector<uint8_t> buffer(500, 0);
    EXPECT_FALSE(platform::HidD_GetProductString(h, buffer.data(), 500));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorDeviceNotConnected);
    platform::CloseHandle(h);
}

TEST_F(HidAndOpens, ShareModesDecideWhoMayOpenWhat) {
    platform::Handle first = openExclusive(full.interface.path);
    ASSERT_TRUE(platform::isValidHandle(first));
    // Held exclusively: no second open of any kind.
    EXPECT_FALSE(platform::isValidHandle(openExclusive(full.interface.path)));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorSharingViolation);
    EXPECT_FALSE(platform::isValidHandle(openForRequests(full.interface.path)));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorSharingViolation);
    platform::CloseHandle(first);

    // Hubs take every open, whatever the share modes.
    const std::string& hubPath = machine.controllers[0].rootHub.interface.path;
    platform::Handle a = openExclusive(hubPath);
    platform::Handle b = openHub(machine.controllers[0].rootHub);
    platform::Handle c = openExclusive(hubPath);
    EXPECT_TRUE(platform::isValidHandle(a));
    EXPECT_TRUE(platform::isValidHandle(b));
    EXPECT_TRUE(platform::isValidHandle(c));
    platform::CloseHandle(a);
    platform::CloseHandle(b);
    platform::CloseHandle(c);
    // A closed handle's value is soon given to another object.
    platform::Handle again = openExclusive(hubPath);
    EXPECT_TRUE(again == a || again == b || again == c);
    platform::CloseHandle(again);
}

TEST_F(HidAndOpens, PathsMatchWithoutRegardToCaseAndUnknownPathsAreNotFound) {
    std::string upper = machine.controllers[0].rootHub.ports[0].device->usbInterface.path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    platform::Handle h = openForRequests(upper);
    EXPECT_TRUE(platform::isValidHandle(h));
    platform::CloseHandle(h);

    EXPECT_FALSE(platform::isValidHandle(openForRequests("\\\\?\\usb#vid_9999&pid_9999#x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}")));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorFileNotFound);
    // A hub name is opened only with its prefix.
    EXPECT_FALSE(platform::isValidHandle(openForRequests(machine.controllers[0].rootHub.name)));

    sim::withMachine([](sim::Machine& m) { m.controllers[0].openError = platform::kErrorAccessDenied; });
    EXPECT_FALSE(platform::isValidHandle(openForRequests(machine.controllers[0].interface.path)));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorAccessDenied);
}

}  // namespace
