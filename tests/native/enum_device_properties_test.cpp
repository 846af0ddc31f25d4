// Device properties found by driver key among all present devices: which
// properties are needed, case-insensitive keys, and that every set of all
// devices is destroyed.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "enum/device_properties.h"
#include "enum_fixture.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"

namespace {

constexpr const char* kKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0031";

class DeviceProperties : public testsupport::SimulatedMachineTest {
protected:
    // A mass-storage device on port 1 and the device under test on port 3,
    // behind a device outside the USB tree.
    void install(const std::function<void(sim::Device&)>& edit) {
        sim::installMachine(
            sim::MachineBuilder()
                .otherDevice(sim::otherDeviceNode("Disk drive", "DiskDrive"))
                .controller(sim::ControllerBuilder().rootHub(
                    sim::HubBuilder(4)
                        .device(1, sim::DeviceBuilder(0x1A2B, 0x0301).massStorage())
                        .device(3, sim::DeviceBuilder(0x1A2B, 0x0300).winUsb().driverKey(kKey).edit(edit))))
                .build());
    }
    UsbDeviceProperties* lookup(const std::string& key) { return getDeviceProperties(key.c_str(), key.size()); }
    static void releaseDevicePropertiesOf(UsbDeviceProperties* properties) { releaseDeviceProperties(properties); }
};

}  // namespace

TEST_F(DeviceProperties, DeviceIsFoundByItsDriverKeyInAnyLetterCase) {
    install([](sim::Device& d) { d.node.instanceId = "USB\\VID_1A2B&PID_0300\\SN300"; });
    std::string key = kKey;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    UsbDeviceProperties* properties = lookup(key);
    ASSERT_NE(properties, nullptr);
    EXPECT_STREQ(properties->InstanceId, "USB\\VID_1A2B&PID_0300\\SN300");
    EXPECT_STREQ(properties->Description, "WinUsb Device");
    EXPECT_STREQ(properties->HardwareId, "USB\\VID_1A2B&PID_0300&REV_0100");  // the first id of the list
    EXPECT_STREQ(properties->Service, "WinUSB");
    EXPECT_NE(properties->SetupClass, nullptr);
    EXPECT_EQ(properties->Spare, nullptr);
    releaseDeviceProperties(properties);
    EXPECT_EQ(properties, nullptr);
}

TEST_F(DeviceProperties, ServiceHardwareIdAndClassAreOptional) {
    install([](sim::Device& d) {
        d.node.service.reset();
        d.node.hardwareIds.clear();
        d.node.propertyErrors[platform::kSpdrpClass] = platform::kErrorGenFailure;
    });
    UsbDeviceProperties* properties = lookup(kKey);
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->Service, nullptr);
    EXPECT_EQ(properties->HardwareId, nullptr);
    EXPECT_EQ(properties->SetupClass, nullptr);
    releaseDeviceProperties(properties);
}

TEST_F(DeviceProperties, WithoutInstanceIdOrDescriptionThereIsNoRecordAndNothingLeft) {
    install([](sim::Device& d) { d.node.description.reset(); });
    EXPECT_EQ(lookup(kKey), nullptr);
    install([](sim::Device& d) { d.node.instanceIdError = platform::kErrorGenFailure; });
    EXPECT_EQ(lookup(kKey), nullptr);
    install([](sim::Device&) {});
    EXPECT_EQ(lookup("{36FC9E60-C465-11CF-8056-444553540000}\\9999"), nullptr);
    sim::failNthCall("SetupDiGetClassDevsW", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(lookup(kKey), nullptr);
    // Any allocation failing: the record or nothing, and never a leak. The
    // last three allocations are the optional texts (hardware id, service,
    // class): losing one of them keeps the record without that text alone.
    sim::startJournal();
    releaseDevicePropertiesOf(lookup(kKey));
    const uint64_t allocations = sim::journalCount("HeapAlloc");
    sim::stopJournal();
    ASSERT_GE(allocations, 5u);
    for (uint64_t n = 1; n <= allocations; ++n) {
        sim::failNthCall("HeapAlloc", n, platform::kErrorNotEnoughMemory);
        UsbDeviceProperties* properties = lookup(kKey);
        EXPECT_TRUE(n > 2 || properties == nullptr);
        if (properties != nullptr) {
            EXPECT_NE(properties->InstanceId, nullptr) << n;
            EXPECT_NE(properties->Description, nullptr) << n;
        }
        if (n > allocations - 3) {
            ASSERT_NE(properties, nullptr) << n;
            int missing = (properties->HardwareId == nullptr) + (properties->Service == nullptr) +
                          (properties->SetupClass == nullptr);
            EXPECT_EQ(missing, 1) << n;
        }
        releaseDeviceProperties(properties);
        sim::clearFaults();
    }
}

TEST_F(DeviceProperties, EveryLookupTakesAFreshSetOfAllPresentDevices) {
    install([](sim::Device&) {});
    sim::startJournal();
    for (int k = 0; k < 2; ++k) {
        UsbDeviceProperties* properties = lookup(kKey);
        EXPECT_NE(properties, nullptr);
        releaseDeviceProperties(properties);
    }
    EXPECT_EQ(sim::journalCount("SetupDiGetClassDevsW"), 2u);
    EXPECT_EQ(sim::journalCount("SetupDiDestroyDeviceInfoList"), 2u);

    // A found device's set is the caller's; only the first length
    // characters of the key count.
    platform::DevInfoSet set = nullptr;
    platform::SpDevinfoData data{};
    std::string longer = std::string(kKey) + "trailing";
    ASSERT_EQ(findDeviceByDriverKey(longer.c_str(), std::strlen(kKey), &set, &data), 1);
    EXPECT_EQ(sim::openCounts().deviceInfoSets, before.deviceInfoSets + 1);
    platform::SetupDiDestroyDeviceInfoList(set);
    data.cbSize = 99;
    EXPECT_EQ(findDeviceByDriverKey("no such key", 11, &set, &data), 0);
    EXPECT_EQ(set, platform::invalidHandle());
    EXPECT_EQ(data.cbSize, 0u);
}
