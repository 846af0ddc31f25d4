// Device properties found by driver key among all present devices: which
// properties are needed, case-insensitive keys, and that every set of all
// devices is destroyed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "enum/device_properties.h"
#include "enum_test_machine.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"

namespace {

constexpr const char* kKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0031";

class DeviceProperties : public enumtest::SimulatedMachineTest {
protected:
    void install(const std::function<void(sim::Device&)>& edit) {
        sim::HostController controller =
            sim::ControllerBuilder()
                .rootHub(sim::HubBuilder(4)
                             .device(1, sim::DeviceBuilder(0x1A2B, 0x0301).massStorage())
                             .device(3, sim::DeviceBuilder(0x1A2B, 0x0300).winUsb().driverKey(kKey).edit(edit)))
                .build();
        sim::installMachine(sim::MachineBuilder()
                                .otherDevice(sim::otherDeviceNode("Disk drive", "DiskDrive"))
                                .controller(controller)
                                .build());
    }
    UsbDeviceProperties* lookup(const std::string& key) { return getDeviceProperties(key.c_str(), key.size()); }
};

}  // namespace

TEST_F(DeviceProperties, DeviceFoundByItsDriverKeyInAnyLetterCase) {
    install([](sim::Device& d) { d.node.instanceId = "USB\\VID_1A2B&PID_0300\\SN300"; });
    std::string key = kKey;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    UsbDeviceProperties* properties = lookup(key);
    ASSERT_NE(properties, nullptr);
    EXPECT_STREQ(properties->InstanceId, "USB\\VID_1A2B&PID_0300\\SN300");
    EXPECT_STREQ(properties->Description, "WinUsb Device");
    EXPECT_STREQ(properties->HardwareId, "USB\\VID_1A2B&PID_0300&REV_0100");
    EXPECT_STREQ(properties->Service, "WinUSB");
    ASSERT_NE(properties->SetupClass, nullptr);
    EXPECT_EQ(properties->Spare, nullptr);
    releaseDeviceProperties(properties);
    EXPECT_EQ(properties, nullptr);
    releaseDeviceProperties(properties);  // a reference holding none is fine
}

TEST_F(DeviceProperties, OptionalPropertiesMayBeMissing) {
    install([](sim::Device& d) {
        d.node.service.reset();
        d.node.hardwareIds.clear();
        d.node.propertyErrors[platform::kSpdrpClass] = platform::kErrorGenFailure;
    });
    UsbDeviceProperties* properties = lookup(kKey);
    ASSERT_NE(properties, nullptr);
    EXPECT_NE(properties->Description, nullptr);
    EXPECT_EQ(properties->Service, nullptr);
    EXPECT_EQ(properties->HardwareId, nullptr);
    EXPECT_EQ(properties->SetupClass, nullptr);
    releaseDeviceProperties(properties);
}

TEST_F(DeviceProperties, NeededPropertiesMissingGiveNoRecordAndLeaveNothing) {
    install([](sim::Device& d) { d.node.description.reset(); });
    EXPECT_EQ(lookup(kKey), nullptr);
    install([](sim::Device& d) { d.node.instanceIdError = platform::kErrorGenFailure; });
    EXPECT_EQ(lookup(kKey), nullptr);
    install([](sim::Device&) {});
    EXPECT_EQ(lookup("{36FC9E60-C465-11CF-8056-444553540000}\\9999"), nullptr);
    // The record itself or the key's copy cannot be allocated: none.
    for (uint64_t n = 1; n <= 2; ++n) {
        sim::failNthCall("HeapAlloc", n, platform::kErrorNotEnoughMemory);
        EXPECT_EQ(lookup(kKey), nullptr);
        sim::clearFaults();
    }
    // A later allocation fails: whatever is returned, nothing is left
    // behind (the fixture checks the accounting).
    for (uint64_t n = 3; n <= 12; ++n) {
        sim::failNthCall("HeapAlloc", n, platform::kErrorNotEnoughMemory);
        UsbDeviceProperties* properties = lookup(kKey);
        releaseDeviceProperties(properties);
        sim::clearFaults();
    }
    sim::failNthCall("SetupDiGetClassDevsW", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(lookup(kKey), nullptr);
}

TEST_F(DeviceProperties, EveryLookupTakesAFreshSetOfAllPresentDevices) {
    install([](sim::Device&) {});
    sim::startJournal();
    UsbDeviceProperties* first = lookup(kKey);
    UsbDeviceProperties* second = lookup(kKey);
    EXPECT_EQ(sim::journalCount("SetupDiGetClassDevsW"), 2u);
    EXPECT_EQ(sim::journalCount("SetupDiDestroyDeviceInfoList"), 2u);
    releaseDeviceProperties(first);
    releaseDeviceProperties(second);

    platform::DevInfoSet set = nullptr;
    platform::SpDevinfoData data{};
    ASSERT_EQ(findDeviceByDriverKey(kKey, std::strlen(kKey), &set, &data), 1);
    EXPECT_EQ(sim::openCounts().deviceInfoSets, before.deviceInfoSets + 1);
    char* driver = nullptr;
    ASSERT_EQ(readRegistryProperty(set, &data, platform::kSpdrpDriver, &driver), 1);
    EXPECT_STREQ(driver, kKey);
    platform::HeapFreeBlock(driver);
    platform::SetupDiDestroyDeviceInfoList(set);

    // Only the first length characters of the key count.
    std::string longer = std::string(kKey) + "trailing";
    EXPECT_EQ(findDeviceByDriverKey(longer.c_str(), std::strlen(kKey), &set, &data), 1);
    platform::SetupDiDestroyDeviceInfoList(set);

    data.cbSize = 99;
    EXPECT_EQ(findDeviceByDriverKey("no such key", 11, &set, &data), 0);
    EXPECT_EQ(set, platform::invalidHandle());
    EXPECT_EQ(data.cbSize, 0u);
    EXPECT_EQ(findDeviceByDriverKey(kKey, std::strlen(kKey), nullptr, &data), 0);
}

TEST_F(DeviceProperties, MissingPropertiesAndHardwareIdLists) {
    install([](sim::Device&) {});
    platform::DevInfoSet set = nullptr;
    platform::SpDevinfoData data{};
    ASSERT_EQ(findDeviceByDriverKey(kKey, std::strlen(kKey), &set, &data), 1);
    char* text = nullptr;
    EXPECT_EQ(readRegistryProperty(set, &data, 0x77, &text), 0);  // no such property
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(readRegistryProperty(set, &data, platform::kSpdrpDeviceDesc, nullptr), 0);
    // The multi-text hardware id list reads as its first id.
    ASSERT_EQ(readRegistryProperty(set, &data, platform::kSpdrpHardwareId, &text), 1);
    EXPECT_STREQ(text, "USB\\VID_1A2B&PID_0300&REV_0100");
    platform::HeapFreeBlock(text);
    platform::SetupDiDestroyDeviceInfoList(set);
}
