// The simulated SetupAPI: sets of present interfaces and devices, the end
// of an enumeration, two-step reads, cbSize checks, and set accounting.
#include <gtest/gtest.h>

#include "platform/setupapi.h"
#include "sim_fixture.h"

using namespace testsupport;

namespace {

sim::Machine twoControllers() {
    return sim::MachineBuilder()
        .controller(sim::ControllerBuilder().rootHub(
            sim::HubBuilder(2)
                .device(1, sim::DeviceBuilder(0x1111, 0x0001).strings("Maker", "Loop", "SN1").winUsb())
                .device(2, sim::DeviceBuilder(0x2222, 0x0002).strings("Maker", "Pad", "SN2").hid())))
        .controller(sim::ControllerBuilder().instanceId("ACPI\\VTRL0D10\\0").rootHub(
            sim::HubBuilder(1).device(1, sim::DeviceBuilder(0x3333, 0x0003).fixedClassInterface().massStorage())))
        .otherDevice(sim::otherDeviceNode("NVMe Solid State Drive", "DiskDrive"))
        .build();
}

class SetupApi : public SimulatedMachineTest {
protected:
    void SetUp() override {
        machine = twoControllers();
        install(machine);
    }

    static platform::DevInfoSet interfaces(const platform::Guid& cls) {
        return platform::SetupDiGetClassDevsW(&cls, nullptr, nullptr,
                                             platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    }
    static platform::DevInfoSet allDevices() {
        return platform::SetupDiGetClassDevsW(nullptr, nullptr, nullptr,
                                             platform::kDigcfPresent | platform::kDigcfAllClasses);
    }
    static platform::SpDevinfoData deviceData() {
        platform::SpDevinfoData d{};
        d.cbSize = 32;
        return d;
    }
    static platform::SpDeviceInterfaceData interfaceData() {
        platform::SpDeviceInterfaceData d{};
        d.cbSize = 32;
        return d;
    }
    // The interface path at index i, read in two steps.
    static std::string pathAt(platform::DevInfoSet set, const platform::Guid& cls, uint32_t i) {
        platform::SpDeviceInterfaceData data = interfaceData();
        if (!platform::SetupDiEnumDeviceInterfaces(set, nullptr, &cls, i, &data)) return "(none)";
        uint32_t size = 0;
        EXPECT_FALSE(platform::SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr));
        EXPECT_EQ(platform::GetLastError(), platform::kErrorInsufficientBuffer);
        std::vector<uint8_t> buffer(size, 0);
        auto* detail = reinterpret_cast<platform::SpDeviceInterfaceDetailDataW*>(buffer.data());
        detail->cbSize = 8;
        EXPECT_TRUE(platform::SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr));
        std::u16string wide = textAt(buffer, 4);
        EXPECT_EQ(size, 4 + 2 * (wide.size() + 1));
        return std::string(wide.begin(), wide.end());
    }
    static std::string property(platform::DevInfoSet set, platform::SpDevinfoData* d, uint32_t code) {
        uint32_t size = 0;
        if (platform::SetupDiGetDeviceRegistryPropertyA(set, d, code, nullptr, nullptr, 0, &size)) return "(lie)";
        if (platform::GetLastError() != platform::kErrorInsufficientBuffer) return "(error)";
        std::vector<uint8_t> buffer(size, 0);
        EXPECT_TRUE(platform::SetupDiGetDeviceRegistryPropertyA(set, d, code, nullptr, buffer.data(), size, &size));
        EXPECT_EQ(buffer.back(), 0);
        return std::string(reinterpret_cast<const char*>(buffer.data()));
    }

    sim::Machine machine;
};

TEST_F(SetupApi, InterfaceSetsPairDevicesAndInterfacesByIndexAndEndWith259) {
    platform::DevInfoSet set = interfaces(platform::kGuidDevinterfaceUsbHostController);
    ASSERT_TRUE(platform::isValidHandle(set));
    for (uint32_t i = 0; i < 2; ++i) {
        platform::SpDevinfoData d = deviceData();
        ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, i, &d));
        EXPECT_EQ(property(set, &d, platform::kSpdrpDriver), machine.controllers[i].driverKey);
        EXPECT_EQ(pathAt(set, platform::kGuidDevinterfaceUsbHostController, i), machine.controllers[i].interface.path);
    }
    platform::SpDevinfoData d = deviceData();
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 2, &d));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoMoreItems);
    platform::SpDeviceInterfaceData i = interfaceData();
    EXPECT_FALSE(platform::SetupDiEnumDeviceInterfaces(set, nullptr, &platform::kGuidDevinterfaceUsbHostController, 2, &i));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoMoreItems);
    EXPECT_TRUE(platform::SetupDiDestroyDeviceInfoList(set));
}

TEST_F(SetupApi, EachInterfaceClassHoldsWhatExposesIt) {
    struct Case {
        platform::Guid cls;
        std::vector<std::string> paths;
    } cases[] = {
        {platform::kGuidDevinterfaceUsbHub,
         {machine.controllers[0].rootHub.interface.path, machine.controllers[1].rootHub.interface.path}},
        {platform::kGuidDevinterfaceUsbDevice,
         {machine.controllers[0].rootHub.ports[0].device->usbInterface.path,
          machine.controllers[0].rootHub.ports[1].device->usbInterface.path,
          machine.controllers[1].rootHub.ports[0].device->usbInterface.path}},
        {platform::kGuidFixedDeviceInterfaceClass,
         {machine.controllers[1].rootHub.ports[0].device->fixedClassInterface.path}},
        {platform::kGuidDevinterfaceHid, {machine.controllers[0].rootHub.ports[1].device->hidInterfaces[0].interface.path}},
    };
    for (const Case& c : cases) {
        platform::DevInfoSet set = interfaces(c.cls);
        for (uint32_t i = 0; i < c.paths.size(); ++i) EXPECT_EQ(pathAt(set, c.cls, i), c.paths[i]);
        EXPECT_EQ(pathAt(set, c.cls, static_cast<uint32_t>(c.paths.size())), "(none)");
        platform::SetupDiDestroyDeviceInfoList(set);
    }
}

TEST_F(SetupApi, PropertiesAndInstanceIdsAreReadInTwoSteps) {
    platform::DevInfoSet set = allDevices();
    // controller, root hub, device, device, HID child, controller, root hub, device, other
    platform::SpDevinfoData d = deviceData();
    ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, 2, &d));
    const sim::Device& loop = *machine.controllers[0].rootHub.ports[0].device;
    EXPECT_EQ(property(set, &d, platform::kSpdrpService), "WinUSB");
    EXPECT_EQ(property(set, &d, platform::kSpdrpDeviceDesc), *loop.node.description);
    EXPECT_EQ(property(set, &d, platform::kSpdrpClass), "USBDevice");
    EXPECT_EQ(property(set, &d, platform::kSpdrpHardwareId), loop.node.hardwareIds[0]);

    // The size query: false, 122, the text length + 1.
    uint32_t size = 0;
    EXPECT_FALSE(platform::SetupDiGetDeviceRegistryPropertyA(set, &d, platform::kSpdrpService, nullptr, nullptr, 0, &size));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInsufficientBuffer);
    EXPECT_EQ(size, 7u);
    // A buffer one byte short is refused the same way.
    std::vector<uint8_t> small(6, 0);
    EXPECT_FALSE(platform::SetupDiGetDeviceRegistryPropertyA(set, &d, platform::kSpdrpService, nullptr, small.data(), 6, &size));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInsufficientBuffer);

    uint32_t idSize = 0;
    EXPECT_FALSE(platform::SetupDiGetDeviceInstanceIdA(set, &d, nullptr, 0, &idSize));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInsufficientBuffer);
    EXPECT_EQ(idSize, loop.node.instanceId->size() + 1);
    std::vector<char> id(idSize + 1, 'x');
    ASSERT_TRUE(platform::SetupDiGetDeviceInstanceIdA(set, &d, id.data(), idSize + 1, nullptr));
    EXPECT_EQ(std::string(id.data()), *loop.node.instanceId);

    // The controller's bus number and address as 32-bit values.
    ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(property(set, &d, platform::kSpdrpClass), "USB");
    uint32_t value = 0;
    ASSERT_TRUE(platform::SetupDiGetDeviceRegistryPropertyW(set, &d, platform::kSpdrpAddress, nullptr,
                                                            reinterpret_cast<uint8_t*>(&value), 4, nullptr));
    EXPECT_EQ(value, *machine.controllers[0].node.address);

    // The non-PCI controller has no bus number; the disk drive has no service.
    ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, 5, &d));
    EXPECT_EQ(property(set, &d, platform::kSpdrpService), "USBXHCI");
    EXPECT_FALSE(platform::SetupDiGetDeviceRegistryPropertyW(set, &d, platform::kSpdrpBusNumber, nullptr,
                                                             reinterpret_cast<uint8_t*>(&value), 4, nullptr));
    EXPECT_EQ(platform::GetLastError(), sim::kErrorInvalidData);
    ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, 8, &d));
    EXPECT_EQ(property(set, &d, platform::kSpdrpService), "(error)");
    EXPECT_EQ(platform::GetLastError(), sim::kErrorInvalidData);
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 9, &d));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoMoreItems);
    platform::SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApi, RecordsWithAWrongCbSizeAreRefused) {
    platform::DevInfoSet set = interfaces(platform::kGuidDevinterfaceUsbDevice);
    platform::SpDevinfoData d = deviceData();
    d.cbSize = 28;  // the 32-bit size
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(platform::GetLastError(), sim::kErrorInvalidUserBuffer);

    platform::SpDeviceInterfaceData i = interfaceData();
    i.cbSize = 0;
    EXPECT_FALSE(platform::SetupDiEnumDeviceInterfaces(set, nullptr, &platform::kGuidDevinterfaceUsbDevice, 0, &i));
    EXPECT_EQ(platform::GetLastError(), sim::kErrorInvalidUserBuffer);

    i = interfaceData();
    ASSERT_TRUE(platform::SetupDiEnumDeviceInterfaces(set, nullptr, &platform::kGuidDevinterfaceUsbDevice, 0, &i));
    std::vector<uint8_t> buffer(512, 0);
    auto* detail = reinterpret_cast<platform::SpDeviceInterfaceDetailDataW*>(buffer.data());
    detail->cbSize = 6;  // the 32-bit size
    EXPECT_FALSE(platform::SetupDiGetDeviceInterfaceDetailW(set, &i, detail, 512, nullptr, nullptr));
    EXPECT_EQ(platform::GetLastError(), sim::kErrorInvalidUserBuffer);
    // A buffer too small for the path: 122 and the size needed.
    detail->cbSize = 8;
    uint32_t size = 0;
    EXPECT_FALSE(platform::SetupDiGetDeviceInterfaceDetailW(set, &i, detail, 10, &size, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInsufficientBuffer);
    EXPECT_GT(size, 10u);

    // Records handed in with a wrong size are bad parameters.
    i.cbSize = 0;
    EXPECT_FALSE(platform::SetupDiGetDeviceInterfaceDetailW(set, &i, nullptr, 0, &size, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);
    d = deviceData();
    ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, 0, &d));
    d.cbSize = 28;
    EXPECT_FALSE(platform::SetupDiEnumDeviceInterfaces(set, &d, &platform::kGuidDevinterfaceUsbDevice, 0,
                                                       &(i = interfaceData())));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);
    platform::SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApi, SetsAreSnapshotsAndAreCountedUntilDestroyed) {
    int64_t sets = sim::openCounts().deviceInfoSets;
    platform::DevInfoSet set = interfaces(platform::kGuidDevinterfaceUsbDevice);
    EXPECT_EQ(sim::openCounts().deviceInfoSets, sets + 1);
    // A change of the machine does not show in a set already made.
    sim::withMachine([](sim::Machine& m) { m.controllers[0].rootHub.ports[0].device.reset(); });
    EXPECT_EQ(pathAt(set, platform::kGuidDevinterfaceUsbDevice, 2), machine.controllers[1].rootHub.ports[0].device->usbInterface.path);
    platform::DevInfoSet fresh = interfaces(platform::kGuidDevinterfaceUsbDevice);
    EXPECT_EQ(pathAt(fresh, platform::kGuidDevinterfaceUsbDevice, 2), "(none)");
    EXPECT_TRUE(platform::SetupDiDestroyDeviceInfoList(fresh));
    EXPECT_TRUE(platform::SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(sim::openCounts().deviceInfoSets, sets);
    // Destroying it again, or something that never was a set, fails.
    EXPECT_FALSE(platform::SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
    platform::SpDevinfoData d = deviceData();
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidHandle);
}

TEST_F(SetupApi, PerObjectKnobsFailTheAnswersOfOneDevice) {
    sim::withMachine([](sim::Machine& m) {
        sim::Device& pad = *m.controllers[0].rootHub.ports[1].device;
        pad.node.description.reset();
        pad.usbInterface.sizeQueryError = platform::kErrorNotEnoughMemory;
        m.controllers[1].rootHub.ports[0].device->node.enumError = platform::kErrorGenFailure;
    });
    platform::DevInfoSet set = interfaces(platform::kGuidDevinterfaceUsbDevice);
    platform::SpDevinfoData d = deviceData();
    ASSERT_TRUE(platform::SetupDiEnumDeviceInfo(set, 1, &d));
    EXPECT_EQ(property(set, &d, platform::kSpdrpDeviceDesc), "(error)");
    EXPECT_EQ(platform::GetLastError(), sim::kErrorInvalidData);
    platform::SpDeviceInterfaceData i = interfaceData();
    ASSERT_TRUE(platform::SetupDiEnumDeviceInterfaces(set, nullptr, &platform::kGuidDevinterfaceUsbDevice, 1, &i));
    uint32_t size = 0;
    EXPECT_FALSE(platform::SetupDiGetDeviceInterfaceDetailW(set, &i, nullptr, 0, &size, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNotEnoughMemory);
    EXPECT_FALSE(platform::SetupDiEnumDeviceInfo(set, 2, &d));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorGenFailure);
    platform::SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
