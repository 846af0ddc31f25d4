// Configuration, BOS and string descriptors read through the hub: the size
// and type checks, the order and content of the string chain, and what the
// device is (and is not) asked.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "enum/descriptor_requests.h"
#include "enum/narrow_text.h"
#include "enum/string_descriptors.h"
#include "enum_test_machine.h"
#include "platform/kernel.h"

using enumtest::OpenHandle;

namespace {

class Descriptors : public enumtest::SimulatedMachineTest {
protected:
    // Installs the device on port 1 and opens the root hub.
    platform::Handle install(const sim::DeviceBuilder& device) {
        enumtest::installWithDevice(device);
        hub.reset(new OpenHandle(enumtest::openHub(enumtest::kRootHubName)));
        EXPECT_TRUE(platform::isValidHandle(hub->get()));
        return hub->get();
    }
    void TearDown() override {
        hub.reset();
        enumtest::SimulatedMachineTest::TearDown();
    }

    std::vector<std::string> chainTexts(const StringDescriptorNode* head) {
        std::vector<std::string> texts;
        char buffer[kDescriptorTextBufferSize];
        for (const StringDescriptorNode* node = head; node != nullptr; node = node->next) {
            narrowDescriptorText(node, buffer);
            texts.push_back(std::to_string(node->descriptorIndex) + "/" + std::to_string(node->languageId) + ":" +
                            (node->descriptorIndex == 0 ? std::string() : std::string(buffer)));
        }
        return texts;
    }

    std::unique_ptr<OpenHandle> hub;
};

platform::UsbDeviceDescriptor descriptorOf(uint16_t vendorId, uint16_t productId) {
    sim::Machine machine = sim::machineCopy();
    sim::Device* device = sim::findDevice(machine, vendorId, productId);
    return device != nullptr ? device->descriptor : platform::UsbDeviceDescriptor{};
}

std::vector<uint8_t> withTotalLength(std::vector<uint8_t> bytes, uint16_t total) {
    bytes[2] = static_cast<uint8_t>(total & 0xFF);
    bytes[3] = static_cast<uint8_t>(total >> 8);
    return bytes;
}

sim::ConfigurationBuilder vendorConfiguration() {
    return sim::ConfigurationBuilder().interface(0xFF).endpoint(0x01, 2, 512).endpoint(0x81, 2, 512);
}

// A device whose descriptor names the given strings by index only; its
// strings exist for the given indices in every language.
sim::DeviceBuilder deviceWithStrings(const std::vector<uint8_t>& indices, const std::vector<uint16_t>& languages) {
    sim::DeviceBuilder device(0x1A2B, 0x0100);
    device.languages(languages);
    for (uint8_t index : indices)
        for (uint16_t language : languages)
            device.string(index, language, "S" + std::to_string(index) + "-" + std::to_string(language));
    return device;
}

}  // namespace

TEST_F(Descriptors, ConfigurationIsReadWholeInTwoSteps) {
    std::vector<uint8_t> bytes = vendorConfiguration().bytes();
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0001).configuration(vendorConfiguration()));
    sim::startJournal();
    DescriptorRequest* request = getConfigDescriptor(h, 1, 0);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 2u);
    EXPECT_EQ(request->ConnectionIndex, 1u);
    EXPECT_EQ(request->SetupPacket.wValue, 0x0200);
    EXPECT_EQ(request->SetupPacket.wLength, bytes.size());
    EXPECT_EQ(std::memcmp(descriptorBytes(request), bytes.data(), bytes.size()), 0);
    releaseDescriptorRequest(request);
    EXPECT_EQ(request, nullptr);
}

TEST_F(Descriptors, ConfigurationWithAnUnusableFirstAnswerIsNotRead) {
    std::vector<uint8_t> bytes = vendorConfiguration().bytes();
    // The first answer must be exactly 12 + 9 bytes.
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0002).configurationBytes(bytes).edit(
        [](sim::Device& d) { d.configurations[0].bytesReturned = 20; }));
    sim::startJournal();
    EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 1u);

    // A wTotalLength below 9.
    h = install(sim::DeviceBuilder(0x1A2B, 0x0003).configurationBytes(withTotalLength(bytes, 8)));
    sim::startJournal();
    EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 1u);

    // A stalled request, and an empty port.
    h = install(sim::DeviceBuilder(0x1A2B, 0x0004).configurationBytes(bytes).edit(
        [](sim::Device& d) { d.configurations[0].failWith = platform::kErrorGenFailure; }));
    EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
    EXPECT_EQ(getConfigDescriptor(h, 2, 0), nullptr);
}

TEST_F(Descriptors, ConfigurationThatChangesBetweenReadsIsDropped) {
    std::vector<uint8_t> bytes = vendorConfiguration().bytes();
    std::vector<uint8_t> grown = vendorConfiguration().endpoint(0x82, 3, 64, 1).bytes();
    std::vector<uint8_t> shortAnswer(bytes.begin(), bytes.end() - 7);  // claims more than it sends
    for (const auto& later : {grown, withTotalLength(bytes, static_cast<uint16_t>(bytes.size() + 1)), shortAnswer}) {
        platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0005).configurationBytes(bytes).edit(
            [&](sim::Device& d) { d.configurations[0].bytesAfterFirstRead = later; }));
        EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
    }
    // The second step's buffer cannot be had.
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0006).configurationBytes(bytes));
    sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
}

TEST_F(Descriptors, BosNeedsMoreThanItsFiveByteHeader) {
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0010).bos(sim::usb2ExtensionBosBytes()));
    DescriptorRequest* request = getBosDescriptor(h, 1);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->SetupPacket.wValue, 0x0F00);
    EXPECT_EQ(request->SetupPacket.wLength, sim::usb2ExtensionBosBytes().size());
    releaseDescriptorRequest(request);

    h = install(sim::DeviceBuilder(0x1A2B, 0x0011).bos({5, 0x0F, 5, 0, 0}));
    sim::startJournal();
    EXPECT_EQ(getBosDescriptor(h, 1), nullptr);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 1u);

    h = install(sim::DeviceBuilder(0x1A2B, 0x0012));  // no BOS at all
    EXPECT_EQ(getBosDescriptor(h, 1), nullptr);
}

TEST_F(Descriptors, MalformedStringDescriptorsAreRejected) {
    auto deviceAnswering = [](uint16_t product, const std::vector<uint8_t>& answer) {
        return sim::DeviceBuilder(0x1A2B, product).product("P").edit([answer](sim::Device& d) {
            d.strings[2][0x0409].bytes = answer;
        });
    };
    platform::Handle h = install(deviceAnswering(0x0020, {6, 3, 'A', 0, 'B', 0}));
    StringDescriptorNode* good = getStringDescriptor(h, 1, 2, 0x0409);
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->descriptorIndex, 2);
    EXPECT_EQ(good->languageId, 0x0409);
    EXPECT_EQ(good->next, nullptr);
    releaseStringDescriptorChain(good);

    const std::vector<std::vector<uint8_t>> bad = {
        {5, 3, 'A', 0, 'B'},           // odd length
        {6, 4, 'A', 0, 'B', 0},        // not a string descriptor
        {8, 3, 'A', 0, 'B', 0},        // claims more than it sends
        {4, 3, 'A', 0, 'B', 0},        // claims less than it sends
    };
    for (const auto& answer : bad) {
        h = install(deviceAnswering(0x0021, answer));
        EXPECT_EQ(getStringDescriptor(h, 1, 2, 0x0409), nullptr);
    }
}

TEST_F(Descriptors, ChainHoldsLanguagesThenEachIndexInEveryLanguage) {
    platform::Handle h =
        install(sim::DeviceBuilder(0x1A2B, 0x0030).languages({0x0409, 0x0407}).strings("Maker", "Thing", "SN7"));
    platform::UsbDeviceDescriptor device = descriptorOf(0x1A2B, 0x0030);
    StringDescriptorNode* head = getAllStringDescriptors(h, 1, &device, nullptr);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(chainTexts(head), (std::vector<std::string>{"0/0:", "1/1033:Maker", "1/1031:Maker", "2/1033:Thing",
                                                          "2/1031:Thing", "3/1033:SN7", "3/1031:SN7"}));
    releaseStringDescriptorChain(head);
    EXPECT_EQ(head, nullptr);
}

TEST_F(Descriptors, UnreadableOrEmptyLanguageListsGiveNoTexts) {
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0040).strings("Maker", "Thing", "SN").edit(
        [](sim::Device& d) { d.languages->failWith = platform::kErrorGenFailure; }));
    platform::UsbDeviceDescriptor device = descriptorOf(0x1A2B, 0x0040);
    EXPECT_EQ(getAllStringDescriptors(h, 1, &device, nullptr), nullptr);

    h = install(sim::DeviceBuilder(0x1A2B, 0x0041).strings("Maker", "Thing", "SN").languages({}));
    device = descriptorOf(0x1A2B, 0x0041);
    sim::startJournal();
    StringDescriptorNode* head = getAllStringDescriptors(h, 1, &device, nullptr);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(chainTexts(head), std::vector<std::string>{"0/0:"});
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 1u);
    releaseStringDescriptorChain(head);
}

TEST_F(Descriptors, IndexAlreadyInTheChainAsksTheDeviceNothing) {
    platform::Handle h = install(deviceWithStrings({1, 2}, {0x0409}));
    const uint16_t languages[] = {0x0409};
    StringDescriptorNode* head = getStringDescriptor(h, 1, 0, 0);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(getStringDescriptors(h, 1, 1, 1, languages, head), 0);
    sim::startJournal();
    EXPECT_EQ(getStringDescriptors(h, 1, 1, 1, languages, head), 0);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 0u);
    releaseStringDescriptorChain(head);

    // The same index named twice by the device descriptor is fetched once.
    h = install(deviceWithStrings({1}, {0x0409}).edit([](sim::Device& d) {
        d.descriptor.iManufacturer = 1;
        d.descriptor.iProduct = 1;
    }));
    platform::UsbDeviceDescriptor device = descriptorOf(0x1A2B, 0x0100);
    sim::startJournal();
    head = getAllStringDescriptors(h, 1, &device, nullptr);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 2u);
    EXPECT_EQ(chainTexts(head), (std::vector<std::string>{"0/0:", "1/1033:S1-1033"}));
    releaseStringDescriptorChain(head);
}

TEST_F(Descriptors, UnreadableLanguageEndsThatIndexButKeepsWhatWasRead) {
    platform::Handle h = install(deviceWithStrings({1}, {0x0409, 0x0407, 0x040C}).edit([](sim::Device& d) {
        d.strings[1][0x0407].failWith = platform::kErrorGenFailure;
    }));
    const uint16_t languages[] = {0x0409, 0x0407, 0x040C};
    StringDescriptorNode* head = getStringDescriptor(h, 1, 0, 0);
    ASSERT_NE(head, nullptr);
    sim::startJournal();
    EXPECT_EQ(getStringDescriptors(h, 1, 1, 3, languages, head), kStringsFailed);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 2u);  // French is not asked
    EXPECT_EQ(chainTexts(head), (std::vector<std::string>{"0/0:", "1/1033:S1-1033"}));
    // The chain can still grow behind the node that was kept.
    EXPECT_EQ(getStringDescriptors(h, 1, 2, 0, languages, head), 0);
    releaseStringDescriptorChain(head);
}

TEST_F(Descriptors, VideoDeviceFetchStopsAtTheFirstMissingIndex) {
    platform::Handle h =
        install(deviceWithStrings({1, 2, 3, 4}, {0x0409}).configuration(sim::ConfigurationBuilder().interface(0x0E, 1)));
    platform::UsbDeviceDescriptor device = descriptorOf(0x1A2B, 0x0100);
    DescriptorRequest* configuration = getConfigDescriptor(h, 1, 0);
    ASSERT_NE(configuration, nullptr);
    sim::startJournal();
    StringDescriptorNode* head = getAllStringDescriptors(h, 1, &device, configuration);
    // The language list, indices 1 to 4, and the failing index 5; index 6
    // and beyond are not asked.
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 6u);
    EXPECT_EQ(chainTexts(head), (std::vector<std::string>{"0/0:", "1/1033:S1-1033", "2/1033:S2-1033",
                                                          "3/1033:S3-1033", "4/1033:S4-1033"}));
    releaseStringDescriptorChain(head);
    releaseDescriptorRequest(configuration);
}

TEST_F(Descriptors, ScanEndsAtAZeroLengthByte) {
    // The interface behind the zero-length descriptor names string 5.
    sim::ConfigurationBuilder configurationBytes =
        sim::ConfigurationBuilder().raw({0, 0x24, 0, 0}).interface(0xFF, 0, 0, 5);
    platform::Handle h = install(deviceWithStrings({5}, {0x0409}).configuration(configurationBytes));
    platform::UsbDeviceDescriptor device = descriptorOf(0x1A2B, 0x0100);
    DescriptorRequest* configuration = getConfigDescriptor(h, 1, 0);
    ASSERT_NE(configuration, nullptr);
    EXPECT_FALSE(areThereStringDescriptors(&device, configuration));
    StringDescriptorNode* head = getAllStringDescriptors(h, 1, &device, configuration);
    EXPECT_EQ(chainTexts(head), std::vector<std::string>{"0/0:"});
    releaseStringDescriptorChain(head);
    releaseDescriptorRequest(configuration);

    // Without the zero-length descriptor the same string is found.
    h = install(deviceWithStrings({5}, {0x0409}).configuration(sim::ConfigurationBuilder().interface(0xFF, 0, 0, 5)));
    configuration = getConfigDescriptor(h, 1, 0);
    EXPECT_TRUE(areThereStringDescriptors(&device, configuration));
    head = getAllStringDescriptors(h, 1, &device, configuration);
    EXPECT_EQ(chainTexts(head), (std::vector<std::string>{"0/0:", "5/1033:S5-1033"}));
    releaseStringDescriptorChain(head);
    releaseDescriptorRequest(configuration);
}

TEST_F(Descriptors, PresenceTestAndFetchLookAtDifferentDescriptors) {
    // Only an other-speed configuration names a string: present, but not
    // fetched.
    const std::vector<uint8_t> otherSpeed = {9, 7, 9, 0, 1, 1, 4, 0x80, 50};
    platform::Handle h = install(deviceWithStrings({4}, {0x0409}).configuration(
        sim::ConfigurationBuilder().interface(0xFF).raw(otherSpeed)));
    platform::UsbDeviceDescriptor device = descriptorOf(0x1A2B, 0x0100);
    DescriptorRequest* configuration = getConfigDescriptor(h, 1, 0);
    ASSERT_NE(configuration, nullptr);
    EXPECT_TRUE(areThereStringDescriptors(&device, configuration));
    StringDescriptorNode* head = getAllStringDescriptors(h, 1, &device, configuration);
    EXPECT_EQ(chainTexts(head), std::vector<std::string>{"0/0:"});
    releaseStringDescriptorChain(head);
    releaseDescriptorRequest(configuration);

    // Only an interface association names a string: fetched, but absent
    // to the presence test.
    h = install(deviceWithStrings({6}, {0x0409}).configuration(
        sim::ConfigurationBuilder().association(0, 1, 0xEF, 2, 1, 6).interface(0xFF)));
    configuration = getConfigDescriptor(h, 1, 0);
    ASSERT_NE(configuration, nullptr);
    EXPECT_FALSE(areThereStringDescriptors(&device, configuration));
    head = getAllStringDescriptors(h, 1, &device, configuration);
    EXPECT_EQ(chainTexts(head), (std::vector<std::string>{"0/0:", "6/1033:S6-1033"}));
    releaseStringDescriptorChain(head);
    releaseDescriptorRequest(configuration);

    // An interface descriptor of a wrong length ends the presence test.
    h = install(deviceWithStrings({7}, {0x0409}).configuration(
        sim::ConfigurationBuilder().raw({10, 4, 0, 0, 0, 0xFF, 0, 0, 0, 0}).interface(0xFF, 0, 0, 7)));
    configuration = getConfigDescriptor(h, 1, 0);
    EXPECT_FALSE(areThereStringDescriptors(&device, configuration));
    EXPECT_FALSE(areThereStringDescriptors(&device, nullptr));
    releaseDescriptorRequest(configuration);

    platform::UsbDeviceDescriptor named = device;
    named.iSerialNumber = 3;
    EXPECT_TRUE(areThereStringDescriptors(&named, nullptr));
}

TEST_F(Descriptors, ScanNeverReadsPastTheBytesARequestHolds) {
    // A request whose descriptor claims 200 bytes but holds 18: the
    // interface that lies beyond the held bytes is never looked at.
    const uint8_t held[] = {9, 2, 200, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 0xFF, 0, 0, 0};
    auto* request = static_cast<DescriptorRequest*>(platform::HeapAllocZero(12 + sizeof held));
    std::memcpy(reinterpret_cast<uint8_t*>(request) + 12, held, sizeof held);
    request->SetupPacket.wLength = sizeof held;
    EXPECT_EQ(descriptorScanLength(request), sizeof held);
    platform::UsbDeviceDescriptor device{};
    EXPECT_FALSE(areThereStringDescriptors(&device, request));
    request->SetupPacket.wLength = 3;  // not even wTotalLength is held
    EXPECT_EQ(descriptorScanLength(request), 0u);
    releaseDescriptorRequest(request);
}
