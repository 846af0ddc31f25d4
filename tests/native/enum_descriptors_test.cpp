// Configuration, BOS and string descriptors read through the hub: the size
// and type checks, the order of the string chain, and what the device is
// (and is not) asked.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "enum/descriptor_requests.h"
#include "enum/narrow_text.h"
#include "enum/string_descriptors.h"
#include "enum_fixture.h"
#include "platform/kernel.h"

namespace {

using Texts = std::vector<std::string>;

class Descriptors : public testsupport::SimulatedMachineTest {
protected:
    // Installs the device on port 1 of the root hub and opens the hub.
    platform::Handle install(const sim::DeviceBuilder& device) {
        sim::Machine machine = sim::MachineBuilder().controller(testsupport::controllerWithDevice(device)).build();
        descriptor = machine.controllers[0].rootHub.ports[0].device->descriptor;
        sim::installMachine(machine);
        hub = std::make_unique<testsupport::OpenHandle>(testsupport::openHub(testsupport::kRootHubName));
        return hub->get();
    }
    void TearDown() override {
        hub.reset();
        testsupport::SimulatedMachineTest::TearDown();
    }

    // The chain as "index/language:text", released; and the number of
    // requests it took.
    Texts allStrings(platform::Handle h, const DescriptorRequest* configuration, size_t* requests = nullptr) {
        sim::startJournal();
        StringDescriptorNode* head = getAllStringDescriptors(h, 1, &descriptor, configuration);
        if (requests != nullptr) *requests = sim::journalCount("DeviceIoControl");
        Texts texts;
        char buffer[kDescriptorTextBufferSize];
        for (const StringDescriptorNode* node = head; node != nullptr; node = node->next) {
            narrowDescriptorText(node, buffer);
            texts.push_back(std::to_string(node->descriptorIndex) + "/" + std::to_string(node->languageId) + ":" +
                            (node->descriptorIndex == 0 ? "" : buffer));
        }
        releaseStringDescriptorChain(head);
        EXPECT_EQ(head, nullptr);
        return texts;
    }
    // The same for a device whose configuration is read first.
    Texts allStringsWithConfiguration(const sim::DeviceBuilder& device, bool* present = nullptr,
                                      size_t* requests = nullptr) {
        platform::Handle h = install(device);
        DescriptorRequest* configuration = getConfigDescriptor(h, 1, 0);
        EXPECT_NE(configuration, nullptr);
        if (present != nullptr) *present = areThereStringDescriptors(&descriptor, configuration);
        Texts texts = allStrings(h, configuration, requests);
        releaseDescriptorRequest(configuration);
        return texts;
    }

    platform::UsbDeviceDescriptor descriptor{};
    std::unique_ptr<testsupport::OpenHandle> hub;
};

std::vector<uint8_t> withTotalLength(std::vector<uint8_t> bytes, uint16_t total) {
    bytes[2] = static_cast<uint8_t>(total & 0xFF);
    bytes[3] = static_cast<uint8_t>(total >> 8);
    return bytes;
}

const std::vector<uint8_t> kConfiguration =
    sim::ConfigurationBuilder().interface(0xFF).endpoint(0x01, 2, 512).endpoint(0x81, 2, 512).bytes();

// A device whose strings exist for the indices in every language but are
// not named by its device descriptor.
sim::DeviceBuilder deviceWithStrings(const std::vector<uint8_t>& indices, const std::vector<uint16_t>& languages) {
    sim::DeviceBuilder device(0x1A2B, 0x0100);
    device.languages(languages);
    for (uint8_t index : indices)
        for (uint16_t language : languages)
            device.string(index, language, "S" + std::to_string(index) + "-" + std::to_string(language));
    return device;
}

}  // namespace

TEST_F(Descriptors, ConfigurationIsReadWholeOnlyAfterAnExactFirstAnswer) {
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0001).configurationBytes(kConfiguration));
    DescriptorRequest* request = getConfigDescriptor(h, 1, 0);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->SetupPacket.wLength, kConfiguration.size());
    EXPECT_EQ(std::memcmp(descriptorBytes(request), kConfiguration.data(), kConfiguration.size()), 0);
    releaseDescriptorRequest(request);

    // A first answer of 20 rather than 21 bytes, or a wTotalLength of 8:
    // the whole descriptor is never asked for.
    h = install(sim::DeviceBuilder(0x1A2B, 0x0002).configurationBytes(kConfiguration).edit([](sim::Device& d) {
        d.configurations[0].bytesReturned = 20;
    }));
    sim::startJournal();
    EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
    h = install(sim::DeviceBuilder(0x1A2B, 0x0003).configurationBytes(withTotalLength(kConfiguration, 8)));
    EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 2u);
}

TEST_F(Descriptors, ConfigurationThatChangesBetweenReadsIsDropped) {
    const std::vector<std::vector<uint8_t>> later = {
        sim::ConfigurationBuilder().interface(0xFF).bytes(),                            // shrunk
        withTotalLength(kConfiguration, static_cast<uint16_t>(kConfiguration.size() + 1)),  // claims more
    };
    for (const auto& bytes : later) {
        platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0005).configurationBytes(kConfiguration).edit(
            [&](sim::Device& d) { d.configurations[0].bytesAfterFirstRead = bytes; }));
        EXPECT_EQ(getConfigDescriptor(h, 1, 0), nullptr);  // and its buffer is released
    }
}

TEST_F(Descriptors, BosNeedsMoreThanItsFiveByteHeader) {
    platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0010).bos(sim::usb2ExtensionBosBytes()));
    DescriptorRequest* request = getBosDescriptor(h, 1);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->SetupPacket.wLength, sim::usb2ExtensionBosBytes().size());
    releaseDescriptorRequest(request);
    h = install(sim::DeviceBuilder(0x1A2B, 0x0011).bos({5, 0x0F, 5, 0, 0}));
    EXPECT_EQ(getBosDescriptor(h, 1), nullptr);
}

TEST_F(Descriptors, MalformedStringDescriptorsAreRejected) {
    const std::vector<std::vector<uint8_t>> answers = {
        {5, 3, 'A', 0, 'B'},     // odd length
        {6, 4, 'A', 0, 'B', 0},  // not a string descriptor
        {8, 3, 'A', 0, 'B', 0},  // claims more than it sends
        {4, 3, 'A', 0, 'B', 0},  // claims less than it sends
        {6, 3, 'A', 0, 'B', 0},  // sound
    };
    for (size_t k = 0; k < answers.size(); ++k) {
        platform::Handle h = install(sim::DeviceBuilder(0x1A2B, 0x0020).product("P").edit(
            [&](sim::Device& d) { d.strings[2][0x0409].bytes = answers[k]; }));
        StringDescriptorNode* node = getStringDescriptor(h, 1, 2, 0x0409);
        EXPECT_EQ(node != nullptr, k == answers.size() - 1) << k;
        releaseStringDescriptorChain(node);
    }
}

TEST_F(Descriptors, ChainHoldsTheLanguageListThenEachIndexInEveryLanguage) {
    platform::Handle h =
        install(sim::DeviceBuilder(0x1A2B, 0x0030).languages({0x0409, 0x0407}).strings("Maker", "Thing", "SN7"));
    EXPECT_EQ(allStrings(h, nullptr), (Texts{"0/0:", "1/1033:Maker", "1/1031:Maker", "2/1033:Thing",
                                             "2/1031:Thing", "3/1033:SN7", "3/1031:SN7"}));
    // A language list without languages is the whole chain.
    h = install(sim::DeviceBuilder(0x1A2B, 0x0031).strings("Maker", "Thing", "SN").languages({}));
    size_t requests = 0;
    EXPECT_EQ(allStrings(h, nullptr, &requests), Texts{"0/0:"});
    EXPECT_EQ(requests, 1u);
    // An unreadable language list: no chain.
    h = install(sim::DeviceBuilder(0x1A2B, 0x0032).strings("Maker", "Thing", "SN").edit([](sim::Device& d) {
        d.languages->failWith = platform::kErrorGenFailure;
    }));
    EXPECT_EQ(allStrings(h, nullptr), Texts{});
}

TEST_F(Descriptors, IndexAlreadyInTheChainAsksTheDeviceNothing) {
    platform::Handle h = install(deviceWithStrings({1}, {0x0409, 0x0407, 0x040C}).edit([](sim::Device& d) {
        d.strings[1][0x0407].failWith = platform::kErrorGenFailure;
    }));
    const uint16_t languages[] = {0x0409, 0x0407, 0x040C};
    StringDescriptorNode* head = getStringDescriptor(h, 1, 0, 0);
    ASSERT_NE(head, nullptr);
    // The second language fails: the first stays, the third is not asked.
    sim::startJournal();
    EXPECT_EQ(getStringDescriptors(h, 1, 1, 3, languages, head), kStringsFailed);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 2u);
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(head->next->next, nullptr);
    sim::startJournal();
    EXPECT_EQ(getStringDescriptors(h, 1, 1, 3, languages, head), 0);
    EXPECT_EQ(sim::journalCount("DeviceIoControl"), 0u);
    releaseStringDescriptorChain(head);
}

TEST_F(Descriptors, VideoDeviceFetchStopsAtTheFirstMissingIndex) {
    size_t requests = 0;
    Texts texts = allStringsWithConfiguration(
        deviceWithStrings({1, 2, 3, 4}, {0x0409}).configuration(sim::ConfigurationBuilder().interface(0x0E, 1)),
        nullptr, &requests);
    EXPECT_EQ(texts, (Texts{"0/0:", "1/1033:S1-1033", "2/1033:S2-1033", "3/1033:S3-1033", "4/1033:S4-1033"}));
    EXPECT_EQ(requests, 6u);  // the languages, 1 to 4, and 5; 6 and beyond are not asked
}

TEST_F(Descriptors, ScanEndsAtAZeroLengthByte) {
    bool present = true;
    Texts texts = allStringsWithConfiguration(
        deviceWithStrings({5}, {0x0409})
            .configuration(sim::ConfigurationBuilder().raw({0, 0x24, 0, 0}).interface(0xFF, 0, 0, 5)),
        &present);
    EXPECT_FALSE(present);
    EXPECT_EQ(texts, Texts{"0/0:"});
    texts = allStringsWithConfiguration(
        deviceWithStrings({5}, {0x0409}).configuration(sim::ConfigurationBuilder().interface(0xFF, 0, 0, 5)),
        &present);
    EXPECT_TRUE(present);
    EXPECT_EQ(texts, (Texts{"0/0:", "5/1033:S5-1033"}));
}

TEST_F(Descriptors, PresenceTestAndFetchLookAtDifferentDescriptors) {
    // Only an other-speed configuration names a string: present, not fetched.
    bool present = false;
    Texts texts = allStringsWithConfiguration(
        deviceWithStrings({4}, {0x0409})
            .configuration(sim::ConfigurationBuilder().interface(0xFF).raw({9, 7, 9, 0, 1, 1, 4, 0x80, 50})),
        &present);
    EXPECT_TRUE(present);
    EXPECT_EQ(texts, Texts{"0/0:"});
    // Only an interface association names a string: fetched, not present.
    texts = allStringsWithConfiguration(
        deviceWithStrings({6}, {0x0409})
            .configuration(sim::ConfigurationBuilder().association(0, 1, 0xEF, 2, 1, 6).interface(0xFF)),
        &present);
    EXPECT_FALSE(present);
    EXPECT_EQ(texts, (Texts{"0/0:", "6/1033:S6-1033"}));
    // An interface descriptor of a wrong length ends the presence test.
    allStringsWithConfiguration(
        deviceWithStrings({7}, {0x0409})
            .configuration(sim::ConfigurationBuilder().raw({10, 4, 0, 0, 0, 0xFF, 0, 0, 0, 0}).interface(0xFF, 0, 0, 7)),
        &present);
    EXPECT_FALSE(present);
}

TEST_F(Descriptors, ScanNeverReadsPastTheBytesARequestHolds) {
    // The descriptor claims 200 bytes but the request holds 18.
    const uint8_t held[] = {9, 2, 200, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 0xFF, 0, 0, 0};
    auto* request = static_cast<DescriptorRequest*>(platform::HeapAllocZero(12 + sizeof held));
    std::memcpy(reinterpret_cast<uint8_t*>(request) + 12, held, sizeof held);
    request->SetupPacket.wLength = sizeof held;
    EXPECT_EQ(descriptorScanLength(request), sizeof held);
    EXPECT_FALSE(areThereStringDescriptors(&descriptor, request));
    request->SetupPacket.wLength = 3;  // not even wTotalLength is held
    EXPECT_EQ(descriptorScanLength(request), 0u);
    releaseDescriptorRequest(request);
}
