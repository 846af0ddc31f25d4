// Descriptor requests answered from the entry: the 18-byte device
// descriptor, the three texts within the caller's bound, and the types and
// kinds that are refused. Nothing goes to the device.
#include "access_fixture.h"

#include <string>

using namespace testsupport;

namespace {

class DescriptorAnswers : public DeviceAccessTest {
protected:
    void SetUp() override {
        DeviceAccessTest::SetUp();
        HandMadeEntry& made = entryFor(hidPath(), true);
        made.manufacturer = "Vantorel";
        made.product = "Widget";  // six characters
        made.serial = "";
        made.entry.manufacturerDescription = made.manufacturer.data();
        made.entry.deviceDescription = made.product.data();
        made.entry.serialNumber = made.serial.data();
        for (uint8_t i = 0; i < 18; ++i) reinterpret_cast<uint8_t*>(&made.entry.deviceDescriptor)[i] = 0x12 + i;
        e = &made.entry;
        ASSERT_EQ(e->open(), Success);
        sim::startJournal();
    }
    void TearDown() override {
        EXPECT_TRUE(sim::journal().empty()) << "descriptors come from the entry";
        DeviceAccessTest::TearDown();
    }

    // The text request's bytes: the first `written` bytes of a 32-byte
    // array of 0xCC after the request.
    std::string text(int32_t kind, int32_t bound, int32_t* result) {
        std::vector<uint8_t> data(32, 0xCC);
        *result = e->getDescriptor(data.data(), static_cast<int32_t>(data.size()), 3, kind, bound);
        return std::string(data.begin(), data.end());
    }

    DeviceEntry* e = nullptr;
};

std::string filled(const std::string& front) { return front + std::string(32 - front.size(), '\xCC'); }

TEST_F(DescriptorAnswers, TheDeviceDescriptorIsExactlyEighteenBytesWhateverTheLength) {
    for (int32_t length : {18, 0, 1, 1000, -5}) {
        std::vector<uint8_t> data(40, 0xCC);
        EXPECT_EQ(e->getDescriptor(data.data(), 40, 1, 7, length), Success) << length;
        EXPECT_EQ(0, std::memcmp(data.data(), &e->deviceDescriptor, 18)) << length;
        EXPECT_EQ(std::vector<uint8_t>(data.begin() + 18, data.end()), std::vector<uint8_t>(22, 0xCC)) << length;
    }
    std::vector<uint8_t> exact(18, 0);
    EXPECT_EQ(e->getDescriptor(exact.data(), 18, 1, 0, 0), Success);
}

TEST_F(DescriptorAnswers, TextsAreCutToTheBoundAndAlwaysTerminated) {
    int32_t result = 1;
    using namespace std::string_literals;
    EXPECT_EQ(text(2, 5, &result), filled("Widg\0"s));
    EXPECT_EQ(result, Success);
    EXPECT_EQ(text(2, 6, &result), filled("Widge\0"s));
    EXPECT_EQ(text(2, 7, &result), filled("Widget\0"s));
    EXPECT_EQ(text(2, 32, &result), filled("Widget\0"s));
    EXPECT_EQ(text(2, 2, &result), filled("W\0"s));
    // A bound of 1 or 0 leaves no room for a character: nothing is written,
    // unless the text is empty and its zero fits.
    EXPECT_EQ(text(2, 1, &result), filled(""));
    EXPECT_EQ(result, Success);
    EXPECT_EQ(text(2, 0, &result), filled(""));
    EXPECT_EQ(text(3, 1, &result), filled("\0"s));
    EXPECT_EQ(text(3, 0, &result), filled(""));
    EXPECT_EQ(text(1, 32, &result), filled("Vantorel\0"s));
    EXPECT_EQ(e->lastResult, Success);
}

TEST_F(DescriptorAnswers, OtherTypesAndKindsAreRefused) {
    std::vector<uint8_t> data(32, 0xCC);
    EXPECT_EQ(e->getDescriptor(data.data(), 32, 3, 4, 32), NoSuchDevice);
    EXPECT_EQ(e->getDescriptor(data.data(), 32, 3, 0, 32), NoSuchDevice);
    EXPECT_EQ(e->getDescriptor(data.data(), 32, 5, 1, 32), DescriptorNotSupported);
    EXPECT_EQ(e->lastResult, DescriptorNotSupported);
    for (int32_t type : {0, 2, 4, 6, 0x0F, 0x21, -1})
        EXPECT_EQ(e->getDescriptor(data.data(), 32, type, 2, 32), NoSuchDevice) << type;
    EXPECT_EQ(data, std::vector<uint8_t>(32, 0xCC));

    e->close();
    EXPECT_EQ(e->getDescriptor(data.data(), 32, 5, 1, 32), NotOpen) << "before the type is looked at";
    EXPECT_EQ(e->getDescriptor(data.data(), 32, 1, 0, 18), NotOpen);
    EXPECT_EQ(data, std::vector<uint8_t>(32, 0xCC));
}

}  // namespace
