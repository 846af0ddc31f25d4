// Description records: their text byte for byte, their conversion to UTF-16,
// and the two exported methods that hand them to the JVM (through the tests'
// JNI environment, which keeps the strings it is asked to make).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_walk_fixture.h"
#include "fake_jvm.h"
#include "jni/description_record.h"
#include "jni/exports.h"

using DeviceListRegistry::entryAt;

namespace {

DeviceEntry exampleEntry() {
    DeviceEntry entry{};
    entry.present = 1;
    entry.vendorId = 0x1234;
    entry.productId = 0xABCD;
    entry.bcdDevice = 0x0100;
    entry.manufacturerDescription = const_cast<char*>("Acme");
    entry.deviceDescription = const_cast<char*>("Widget");
    entry.serialNumber = const_cast<char*>("?");
    entry.driverSupported = 1;
    return entry;
}

std::string formatted(const DeviceEntry& entry) {
    char buffer[kDescriptionRecordSize];
    std::memset(buffer, 'Z', sizeof buffer);
    formatDescriptionRecord(entry, buffer);
    return buffer;
}

}  // namespace

TEST(DescriptionRecord, FieldsAreFormattedExactly) {
    DeviceEntry entry = exampleEntry();
    EXPECT_EQ(formatted(entry), "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end");

    entry.present = 0;
    entry.vendorId = 0x3F;
    entry.productId = 0xBEEF;
    entry.bcdDevice = 0;
    entry.driverSupported = 0;
    EXPECT_EQ(formatted(entry), "0:=003F:=BEEF:=0000:=Acme:=Widget:=?:=o:=b:=end");

    // Only exactly 1 marks a supported driver; any non-zero isHid marks HID.
    entry.driverSupported = 2;
    entry.isHid = 5;
    EXPECT_EQ(formatted(entry), "0:=003F:=BEEF:=0000:=Acme:=Widget:=?:=o:=h:=end");
    entry.driverSupported = 1;
    entry.isHid = 1;
    EXPECT_EQ(formatted(entry), "0:=003F:=BEEF:=0000:=Acme:=Widget:=?:=x:=h:=end");
}

TEST(DescriptionRecord, OverlongTextsAreCutAtTheBufferAndTheRestIsZero) {
    struct Guarded {
        char buffer[kDescriptionRecordSize];
        char guard[16];
    } guarded;
    std::memset(&guarded, 'Z', sizeof guarded);
    std::string longText(300, 'L');
    DeviceEntry entry = exampleEntry();
    entry.manufacturerDescription = longText.data();
    entry.deviceDescription = longText.data();
    entry.serialNumber = longText.data();
    formatDescriptionRecord(entry, guarded.buffer);
    EXPECT_EQ(std::strlen(guarded.buffer), kDescriptionRecordSize - 1);
    EXPECT_EQ(std::string(guarded.guard, sizeof guarded.guard), std::string(16, 'Z'));

    // A short record leaves every byte behind it zero.
    formatDescriptionRecord(exampleEntry(), guarded.buffer);
    size_t length = std::strlen(guarded.buffer);
    for (size_t i = length; i < kDescriptionRecordSize; ++i) ASSERT_EQ(guarded.buffer[i], '\0') << i;
}

TEST(DescriptionRecord, ConvertsUtf8AndReplacesBytesThatAreNotUtf8) {
    sim::clearFaults();
    EXPECT_EQ(recordToUtf16("Caf\xE9:=end"), u"Caf\uFFFD:=end");
    EXPECT_EQ(recordToUtf16("Caf\xC3\xA9"), u"Caf\u00E9");
    EXPECT_EQ(recordToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(recordToUtf16(""), u"");
    EXPECT_EQ(recordToUtf16(nullptr), u"");
}

class DescriptionRecordMethods : public FakeWalkTest {
protected:
    FakeJvm jvm;
    // The text of the string a method returned; every string the library
    // makes is a real one, made from UTF-16 (bytes that are not UTF-8 must
    // never reach NewStringUTF).
    std::u16string made(jstring string) {
        EXPECT_NE(string, nullptr) << "an empty string, not a null reference";
        EXPECT_FALSE(jvm.madeFromUtf8(string));
        return jvm.textOf(string);
    }
    std::u16string deviceInfo(int32_t listId, int32_t index) {
        return made(TAMBERLYX_METHOD(usbGetDeviceInfo)(jvm.env(), nullptr, listId, index));
    }
    std::u16string changeInfo(int32_t listId) {
        return made(TAMBERLYX_METHOD(usbGetChangeInfo)(jvm.env(), nullptr, listId, 0));
    }
};

TEST_F(DescriptionRecordMethods, DeviceInfoOfAListedDeviceAndOfNone) {
    FakeDevice latin;
    latin.manufacturer = "Caf\xE9";
    latin.product = nullptr;
    latin.serial = "";
    latin.hidPath = "\\\\?\\hid#vid_1234";
    attach({FakeDevice{}, latin});
    const int32_t id = create(0x1234);

    EXPECT_EQ(deviceInfo(id, 0), u"1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end");
    EXPECT_EQ(deviceInfo(id, 1), u"1:=1234:=ABCD:=0100:=Caf\uFFFD:=?:=:=x:=h:=end");

    for (const std::u16string& none : {deviceInfo(id, 2), deviceInfo(id, -1), deviceInfo(id + 1000, 0)})
        EXPECT_EQ(none, u"");
    EXPECT_EQ(entryAt(id, 0)->reportedPresent, 1);
}

TEST_F(DescriptionRecordMethods, AChangeIsReportedOnceAndNeverAsRawBytes) {
    FakeDevice latin;
    latin.manufacturer = "Caf\xE9";
    FakeDevice other;
    other.productId = 0x0001;
    attach({latin, other});
    const int32_t id = create(0x1234);
    EXPECT_EQ(changeInfo(id), u"");
    EXPECT_EQ(changeInfo(id + 1000), u"");

    attach({other});
    ASSERT_EQ(DeviceListRegistry::update(id), 0);
    DeviceEntry* gone = entryAt(id, 0);
    gone->stateB = 7;
    EXPECT_EQ(changeInfo(id), u"0:=1234:=ABCD:=0100:=Caf\uFFFD:=Widget:=?:=x:=b:=end");
    EXPECT_EQ(gone->reportedPresent, 0);
    EXPECT_EQ(gone->stateB, 1);
    EXPECT_EQ(changeInfo(id), u"");

    attach({latin, other});
    ASSERT_EQ(DeviceListRegistry::update(id), 0);
    EXPECT_EQ(changeInfo(id), u"1:=1234:=ABCD:=0100:=Caf\uFFFD:=Widget:=?:=x:=b:=end");
    EXPECT_EQ(changeInfo(id), u"");
    EXPECT_EQ(deviceInfo(id, 0), u"1:=1234:=ABCD:=0100:=Caf\uFFFD:=Widget:=?:=x:=b:=end");
}
