// The simulated host-controller and hub drivers: byte layouts and byte
// counts of every request the walk sends, and the knobs that make them
// fail or lie.
#include <gtest/gtest.h>

#include "sim_fixture.h"

using namespace testsupport;

namespace {

constexpr uint16_t kLoopVendor = 0x1111;
constexpr uint16_t kPadVendor = 0x2222;

sim::Machine deskWithHub() {
    return sim::MachineBuilder()
        .controller(sim::ControllerBuilder().pci(0x1B6F, 0x7052, 0x00011B6F, 0x10).rootHub(
            sim::HubBuilder(3)
                .device(1, sim::DeviceBuilder(kLoopVendor, 0x0001).strings("Maker", "Loop", "SN1").winUsb().bos(
                               sim::usb2ExtensionBosBytes()))
                .device(2, sim::DeviceBuilder(0x3333, 0x4100).hub(sim::HubBuilder(2).device(
                               2, sim::DeviceBuilder(kPadVendor, 0x0002).speed(sim::Speed::Low).strings("M", "Pad", "S").hid())))))
        .build();
}

class HubRequests : public SimulatedMachineTest {
protected:
    void SetUp() override {
        machine = deskWithHub();
        install(machine);
        controller = machine.controllers[0];
        hub = openHub(controller.rootHub);
        ASSERT_TRUE(platform::isValidHandle(hub));
    }
    void TearDown() override {
        platform::CloseHandle(hub);
        SimulatedMachineTest::TearDown();
    }

    Answer connection(uint32_t code, uint32_t port, size_t size = 365) {
        std::vector<uint8_t> buffer(size, 0);
        std::memcpy(buffer.data(), &port, 4);
        return request(hub, code, buffer);
    }
    Answer descriptor(uint32_t port, uint16_t wValue, uint16_t wIndex, uint16_t wLength, size_t room) {
        std::vector<uint8_t> buffer(12 + room, 0);
        platform::UsbDescriptorRequest header{};
        header.ConnectionIndex = port;
        header.SetupPacket.wValue = wValue;
        header.SetupPacket.wIndex = wIndex;
        header.SetupPacket.wLength = wLength;
        std::memcpy(buffer.data(), &header, 12);
        return request(hub, platform::kIoctlUsbGetDescriptorFromNodeConnection, buffer);
    }

    sim::Machine machine;
    sim::HostController controller;
    platform::Handle hub = nullptr;
};

TEST_F(HubRequests, NodeInformationIs76BytesWithThePortCount) {
    Answer a = request(hub, platform::kIoctlUsbGetNodeInformation, std::vector<uint8_t>(76, 0));
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.bytes, 76u);
    EXPECT_EQ(a.buffer[6], 3);  // HubDescriptor.bNumberOfPorts
    EXPECT_EQ(a.buffer[5], 0x29);
    EXPECT_FALSE(request(hub, platform::kIoctlUsbGetNodeInformation, std::vector<uint8_t>(75, 0)).ok);
}

TEST_F(HubRequests, ConnectionInformationDescribesEachPortIn365Bytes) {
    Answer device = connection(platform::kIoctlUsbGetNodeConnectionInformationEx, 1);
    ASSERT_TRUE(device.ok);
    auto info = recordAt<platform::UsbNodeConnectionInformationEx>(device.buffer);
    EXPECT_EQ(copyOf(info.ConnectionIndex), 1u);
    EXPECT_EQ(copyOf(info.ConnectionStatus), platform::kDeviceConnected);
    EXPECT_EQ(copyOf(info.DeviceIsHub), 0);
    EXPECT_EQ(copyOf(info.DeviceDescriptor.idVendor), kLoopVendor);
    EXPECT_EQ(copyOf(info.DeviceDescriptor.iSerialNumber), 3);
    EXPECT_EQ(std::memcmp(&info.DeviceDescriptor, &controller.rootHub.ports[0].device->descriptor, 18), 0);
    EXPECT_EQ(copyOf(info.Speed), 2);  // high speed
    EXPECT_EQ(copyOf(info.CurrentConfigurationValue), 1);
    ASSERT_EQ(copyOf(info.NumberOfOpenPipes), 2u);
    EXPECT_EQ(copyOf(info.PipeList[0].EndpointDescriptor.bEndpointAddress), 0x01);
    EXPECT_EQ(copyOf(info.PipeList[1].EndpointDescriptor.bEndpointAddress), 0x81);
    EXPECT_EQ(device.bytes, 35u + 2 * 11);

    auto hubInfo = recordAt<platform::UsbNodeConnectionInformationEx>(
        connection(platform::kIoctlUsbGetNodeConnectionInformationEx, 2).buffer);
    EXPECT_EQ(copyOf(hubInfo.DeviceIsHub), 1);
    EXPECT_EQ(copyOf(hubInfo.DeviceDescriptor.bDeviceClass), 9);

    Answer empty = connection(platform::kIoctlUsbGetNodeConnectionInformationEx, 3);
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(copyOf(recordAt<platform::UsbNodeConnectionInformationEx>(empty.buffer).ConnectionStatus),
              platform::kNoDeviceConnected);
    EXPECT_EQ(empty.bytes, 35u);

    for (uint32_t port : {0u, 4u}) {
        Answer beyond = connection(platform::kIoctlUsbGetNodeConnectionInformationEx, port);
        EXPECT_FALSE(beyond.ok);
        EXPECT_EQ(beyond.error, platform::kErrorInvalidParameter);
    }
}

TEST_F(HubRequests, LegacyConnectionInformationReportsTheLowSpeedFlag) {
    platform::Handle external = openHub(controller.rootHub.ports[1].device->hub);
    ASSERT_TRUE(platform::isValidHandle(external));
    std::vector<uint8_t> buffer(365, 0);
    buffer[0] = 2;
    Answer legacy = request(external, platform::kIoctlUsbGetNodeConnectionInformation, buffer);
    Answer extended = request(external, platform::kIoctlUsbGetNodeConnectionInformationEx, buffer);
    platform::CloseHandle(external);
    ASSERT_TRUE(legacy.ok && extended.ok);
    EXPECT_EQ(copyOf(recordAt<platform::UsbNodeConnectionInformationEx>(legacy.buffer).Speed), 1);    // LowSpeed TRUE
    EXPECT_EQ(copyOf(recordAt<platform::UsbNodeConnectionInformationEx>(extended.buffer).Speed), 0);  // UsbLowSpeed
    EXPECT_EQ(copyOf(recordAt<platform::UsbNodeConnectionInformationEx>(legacy.buffer).DeviceDescriptor.idVendor), kPadVendor);
}

TEST_F(HubRequests, NameRequestsReportTheWholeStructureSizeThenTheName) {
    // Root hub name through the controller: 6 bytes first.
    platform::Handle hc = openForRequests(controller.interface.path);
    ASSERT_TRUE(platform::isValidHandle(hc));
    std::u16string rootName(controller.rootHub.name.begin(), controller.rootHub.name.end());
    Answer first = request(hc, platform::kIoctlUsbGetRootHubName, std::vector<uint8_t>(6, 0));
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.bytes, 6u);
    uint32_t actual = u32At(first.buffer, 0);
    EXPECT_EQ(actual, 4 + 2 * (rootName.size() + 1));
    Answer shortOfIt = request(hc, platform::kIoctlUsbGetRootHubName, std::vector<uint8_t>(actual - 2, 0));
    ASSERT_TRUE(shortOfIt.ok);
    EXPECT_EQ(shortOfIt.bytes, 8u) << "a buffer too short counts the bare structure";
    Answer second = request(hc, platform::kIoctlUsbGetRootHubName, std::vector<uint8_t>(actual, 0));
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.bytes, actual);
    EXPECT_EQ(textAt(second.buffer, 4), rootName);

    // The controller's driver key, the same way.
    first = request(hc, platform::kIoctlGetHcdDriverkeyName, std::vector<uint8_t>(6, 0));
    actual = u32At(first.buffer, 0);
    second = request(hc, platform::kIoctlGetHcdDriverkeyName, std::vector<uint8_t>(actual, 0));
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(textAt(second.buffer, 4), std::u16string(controller.driverKey.begin(), controller.driverKey.end()));
    platform::CloseHandle(hc);

    // A port's driver key: 10 bytes, then ActualLength + 10 as the walk asks.
    const std::string& key = controller.rootHub.ports[0].device->driverKey;
    Answer port = connection(platform::kIoctlUsbGetNodeConnectionDriverkeyName, 1, 10);
    ASSERT_TRUE(port.ok);
    EXPECT_EQ(port.bytes, 10u);
    EXPECT_EQ(u32At(port.buffer, 0), 1u);
    actual = u32At(port.buffer, 4);
    EXPECT_EQ(actual, 8 + 2 * (key.size() + 1));
    Answer full = connection(platform::kIoctlUsbGetNodeConnectionDriverkeyName, 1, actual + 10);
    ASSERT_TRUE(full.ok);
    EXPECT_EQ(full.bytes, actual);
    EXPECT_EQ(textAt(full.buffer, 8), std::u16string(key.begin(), key.end()));

    // The hub on port 2 by name; a device that is no hub has an empty name.
    const std::string& hubName = controller.rootHub.ports[1].device->hub.name;
    actual = u32At(connection(platform::kIoctlUsbGetNodeConnectionName, 2, 10).buffer, 4);
    Answer named = connection(platform::kIoctlUsbGetNodeConnectionName, 2, actual + 10);
    EXPECT_EQ(textAt(named.buffer, 8), std::u16string(hubName.begin(), hubName.end()));
    EXPECT_EQ(u32At(connection(platform::kIoctlUsbGetNodeConnectionName, 1, 10).buffer, 4), 10u);
    // An empty port has no driver key.
    EXPECT_FALSE(connection(platform::kIoctlUsbGetNodeConnectionDriverkeyName, 3, 10).ok);

    // A root hub without a name answers an empty one.
    sim::withMachine([](sim::Machine& m) { m.controllers[0].rootHub.name.clear(); });
    hc = openForRequests(controller.interface.path);
    Answer unnamed = request(hc, platform::kIoctlUsbGetRootHubName, std::vector<uint8_t>(64, 0xFF));
    EXPECT_TRUE(unnamed.ok);
    EXPECT_EQ(u32At(unnamed.buffer, 0), 6u);
    EXPECT_EQ(textAt(unnamed.buffer, 4), u"");
    platform::CloseHandle(hc);
}

TEST_F(HubRequests, DescriptorRequestsReturnTheHeaderAndWhatTheDeviceSent) {
    const std::vector<uint8_t>& config = controller.rootHub.ports[0].device->configurations[0].bytes;
    Answer head = descriptor(1, 0x0200, 0, 9, 9);
    ASSERT_TRUE(head.ok);
    EXPECT_EQ(head.bytes, 21u);
    EXPECT_EQ(head.buffer[12], 9);
    EXPECT_EQ(head.buffer[13], 2);
    uint16_t total = static_cast<uint16_t>(head.buffer[14] | head.buffer[15] << 8);
    EXPECT_EQ(total, config.size());

    Answer all = descriptor(1, 0x0200, 0, total, total);
    ASSERT_TRUE(all.ok);
    EXPECT_EQ(all.bytes, 12u + total);
    EXPECT_TRUE(std::equal(config.begin(), config.end(), all.buffer.begin() + 12));

    // Asking for more than the descriptor holds returns only what it holds.
    Answer more = descriptor(1, 0x0200, 0, 255, 255);
    EXPECT_EQ(more.bytes, 12u + total);
    // A buffer shorter than wLength is never written past.
    Answer shortRoom = descriptor(1, 0x0200, 0, 255, 4);
    EXPECT_EQ(shortRoom.bytes, 16u);

    Answer bos = descriptor(1, 0x0F00, 0, 6, 6);
    EXPECT_EQ(bos.bytes, 18u);
    EXPECT_EQ(bos.buffer[13], 15);

    Answer languages = descriptor(1, 0x0300, 0, 255, 255);
    ASSERT_TRUE(languages.ok);
    EXPECT_EQ(languages.bytes, 12u + 4);
    EXPECT_EQ(languages.buffer[14] | languages.buffer[15] << 8, 0x0409);

    Answer product = descriptor(1, 0x0302, 0x0409, 255, 255);
    ASSERT_TRUE(product.ok);
    EXPECT_EQ(product.buffer[12], 2 + 2 * 4);
    EXPECT_EQ(product.buffer[13], 3);
    EXPECT_EQ(product.bytes, 12u + product.buffer[12]);
    EXPECT_EQ(textAt(product.buffer, 14), u"Loop");

    // A string the device does not have stalls; so does a language it lacks.
    Answer missing = descriptor(1, 0x0309, 0x0409, 255, 255);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, platform::kErrorGenFailure);
    EXPECT_FALSE(descriptor(1, 0x0302, 0x0407, 255, 255).ok);
    // Nothing to ask on an empty port.
    EXPECT_FALSE(descriptor(3, 0x0200, 0, 9, 9).ok);
}

TEST_F(HubRequests, UserRequestsAnswerThePowerMapAndControllerInformation) {
    platform::Handle hc = openForRequests(controller.interface.path);
    ASSERT_TRUE(platform::isValidHandle(hc));
    for (uint32_t state = 101; state <= 106; ++state) {
        platform::UsbUserPowerInfoRequest power{};
        power.Header.UsbUserRequest = platform::kUsbUserGetPowerStateMap;
        power.Header.RequestBufferLength = 50;
        power.PowerInformation.SystemState = state;
        std::vector<uint8_t> buffer(50);
        std::memcpy(buffer.data(), &power, 50);
        Answer a = request(hc, platform::kIoctlUsbUserRequest, buffer);
        ASSERT_TRUE(a.ok);
        EXPECT_EQ(a.bytes, 50u);
        auto answer = recordAt<platform::UsbUserPowerInfoRequest>(a.buffer);
        EXPECT_EQ(copyOf(answer.Header.UsbUserStatusCode), 0u);
        EXPECT_EQ(copyOf(answer.PowerInformation.SystemState), state);
        EXPECT_EQ(copyOf(answer.PowerInformation.HcDevicePowerState), copyOf(controller.powerMap[state - 101].info.HcDevicePowerState));
    }
    platform::UsbUserControllerInfo0 info{};
    info.Header.UsbUserRequest = platform::kUsbUserGetControllerInfo0;
    info.Header.RequestBufferLength = 40;
    std::vector<uint8_t> buffer(40);
    std::memcpy(buffer.data(), &info, 40);
    Answer a = request(hc, platform::kIoctlUsbUserRequest, buffer);
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.bytes, 40u);
    auto answer = recordAt<platform::UsbUserControllerInfo0>(a.buffer);
    EXPECT_EQ(copyOf(answer.Info0.PciVendorId), 0x1B6Fu);
    EXPECT_EQ(copyOf(answer.Info0.PciDeviceId), 0x7052u);
    EXPECT_EQ(copyOf(answer.Info0.PciRevision), 0x10u);
    EXPECT_EQ(copyOf(answer.Info0.NumberOfRootPorts), 3u);

    // Hub requests mean nothing to a controller, and the other way round.
    EXPECT_FALSE(request(hc, platform::kIoctlUsbGetNodeConnectionInformationEx, std::vector<uint8_t>(365, 0)).ok);
    EXPECT_FALSE(request(hub, platform::kIoctlGetHcdDriverkeyName, std::vector<uint8_t>(6, 0)).ok);
    platform::CloseHandle(hc);
}

TEST_F(HubRequests, AnswersFailOrLieAsTheirKnobsSay) {
    sim::withMachine([](sim::Machine& m) {
        sim::Port& port = m.controllers[0].rootHub.ports[0];
        port.connectionInfoExError = platform::kErrorGenFailure;
        port.driverKeyAnswer.actualLength = 6;
        sim::DescriptorAnswer& config = port.device->configurations[0];
        config.bytesReturned = 20;
        std::vector<uint8_t> grown = config.bytes;
        grown[2] = static_cast<uint8_t>(grown[2] + 1);
        grown.push_back(0);
        config.bytesAfterFirstRead = grown;
        m.controllers[0].powerMap[2].failWith = platform::kErrorNotSupported;
    });
    Answer ex = connection(platform::kIoctlUsbGetNodeConnectionInformationEx, 1);
    EXPECT_FALSE(ex.ok);
    EXPECT_EQ(ex.error, platform::kErrorGenFailure);
    EXPECT_TRUE(connection(platform::kIoctlUsbGetNodeConnectionInformation, 1).ok);

    EXPECT_EQ(u32At(connection(platform::kIoctlUsbGetNodeConnectionDriverkeyName, 1, 10).buffer, 4), 6u);

    Answer first = descriptor(1, 0x0200, 0, 9, 9);
    EXPECT_EQ(first.bytes, 20u);  // the lie
    Answer second = descriptor(1, 0x0200, 0, 255, 255);
    EXPECT_EQ(second.buffer[14], controller.rootHub.ports[0].device->configurations[0].bytes[2] + 1);

    // A byte count larger than the buffer is reported as told, but nothing
    // is written past the buffer.
    sim::withMachine([](sim::Machine& m) {
        m.controllers[0].rootHub.ports[0].device->configurations[0].bytesReturned = 300;
    });
    std::vector<uint8_t> guarded(64, 0xAA);
    platform::UsbDescriptorRequest header{};
    header.ConnectionIndex = 1;
    header.SetupPacket.wValue = 0x0200;
    header.SetupPacket.wLength = 255;
    std::memcpy(guarded.data(), &header, 12);
    uint32_t bytes = 0;
    ASSERT_TRUE(platform::DeviceIoControl(hub, platform::kIoctlUsbGetDescriptorFromNodeConnection, guarded.data(), 21,
                                          guarded.data(), 21, &bytes, nullptr));
    EXPECT_EQ(bytes, 300u);
    for (size_t i = 21; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xAA) << i;

    platform::Handle hc = openForRequests(controller.interface.path);
    platform::UsbUserPowerInfoRequest power{};
    power.Header.UsbUserRequest = platform::kUsbUserGetPowerStateMap;
    power.Header.RequestBufferLength = 50;
    power.PowerInformation.SystemState = 103;
    std::vector<uint8_t> buffer(50);
    std::memcpy(buffer.data(), &power, 50);
    Answer failed = request(hc, platform::kIoctlUsbUserRequest, buffer);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, platform::kErrorNotSupported);
    platform::CloseHandle(hc);
}

// A failing call leaves the caller's count alone; a driver's warning
// (ERROR_MORE_DATA) still copies its answer and writes the count, and the
// call returns false with 234, as DeviceIoControl does with any status
// that is no error.
TEST_F(HubRequests, FailuresLeaveTheCountAloneAndWarningsReturnTheAnswer) {
    sim::withMachine([](sim::Machine& m) {
        sim::Port& port = m.controllers[0].rootHub.ports[0];
        port.connectionInfoExError = platform::kErrorGenFailure;
        port.driverKeyAnswer.failWith = sim::kErrorMoreData;
        port.device->configurations[0].failWith = sim::kErrorMoreData;
    });
    std::vector<uint8_t> info(365, 0);
    info[0] = 1;
    uint32_t bytes = 0xDEAD;
    EXPECT_FALSE(platform::DeviceIoControl(hub, platform::kIoctlUsbGetNodeConnectionInformationEx, info.data(), 365,
                                           info.data(), 365, &bytes, nullptr));
    EXPECT_EQ(bytes, 0xDEADu);

    const std::string& key = controller.rootHub.ports[0].device->driverKey;
    Answer name = connection(platform::kIoctlUsbGetNodeConnectionDriverkeyName, 1, 10 + 8 + 2 * (key.size() + 1));
    EXPECT_FALSE(name.ok);
    EXPECT_EQ(name.error, sim::kErrorMoreData);
    EXPECT_EQ(name.bytes, 8 + 2 * (key.size() + 1));
    EXPECT_EQ(textAt(name.buffer, 8), std::u16string(key.begin(), key.end()));

    Answer config = descriptor(1, 0x0200, 0, 9, 9);
    EXPECT_FALSE(config.ok);
    EXPECT_EQ(config.error, sim::kErrorMoreData);
    EXPECT_EQ(config.bytes, 21u);
    EXPECT_EQ(config.buffer[13], 2) << "the configuration descriptor's type came back";

    // With an OVERLAPPED, the warning is its status and the event is set.
    platform::Handle event = platform::CreateEventW(nullptr, true, false, nullptr);
    platform::Overlapped overlapped{};
    overlapped.hEvent = event;
    std::vector<uint8_t> buffer(21, 0);
    std::memcpy(buffer.data(), descriptor(1, 0x0200, 0, 9, 9).buffer.data(), 12);
    EXPECT_FALSE(platform::DeviceIoControl(hub, platform::kIoctlUsbGetDescriptorFromNodeConnection, buffer.data(), 21,
                                           buffer.data(), 21, nullptr, &overlapped));
    EXPECT_EQ(overlapped.Internal, 0x80000005u);
    EXPECT_EQ(overlapped.InternalHigh, 21u);
    EXPECT_EQ(platform::WaitForSingleObject(event, 0), platform::kWaitObject0);
    platform::CloseHandle(event);
}

}  // namespace
