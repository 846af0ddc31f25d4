// Description records: their text byte for byte, their conversion to UTF-16,
// and the two exported methods that hand them to the JVM (through a stand-in
// for the JNI function table that keeps the strings it is asked to make).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_list_fake_walk.h"
#include "jni/description_record.h"
#include "jni/exports.h"

using DeviceListRegistry::entryAt;

namespace {

// The strings the library asked the JVM to make, in order.
struct MadeString {
    bool fromUtf16;
    std::u16string text;
};
std::vector<MadeString> madeStrings;

jstring keep(MadeString made) {
    madeStrings.push_back(std::move(made));
    return reinterpret_cast<jstring>(static_cast<uintptr_t>(madeStrings.size()));
}

jstring JNICALL fakeNewString(JNIEnv*, const jchar* units, jsize length) {
    EXPECT_NE(units, nullptr);
    EXPECT_GE(length, 0);
    return keep({true, std::u16string(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(length))});
}

jstring JNICALL fakeNewStringUtf(JNIEnv*, const char* bytes) {
    std::u16string widened;
    for (const char* p = bytes; *p != '\0'; ++p) widened += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return keep({false, widened});
}

struct FakeJni {
    JNINativeInterface_ functions{};
    JNIEnv env{};
    FakeJni() {
        functions.NewString = fakeNewString;
        functions.NewStringUTF = fakeNewStringUtf;
        env.functions = &functions;
        madeStrings.clear();
    }
    // The string behind a reference the library returned.
    static const MadeString& made(jstring string) {
        size_t n = static_cast<size_t>(reinterpret_cast<uintptr_t>(string));
        static const MadeString none{false, u"<null reference>"};
        return n == 0 || n > madeStrings.size() ? none : madeStrings[n - 1];
    }
};

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
    FakeJni jni;
    MadeString deviceInfo(int32_t listId, int32_t index) {
        return FakeJni::made(TAMBERLYX_METHOD(usbGetDeviceInfo)(&jni.env, nullptr, listId, index));
    }
    MadeString changeInfo(int32_t listId) {
        return FakeJni::made(TAMBERLYX_METHOD(usbGetChangeInfo)(&jni.env, nullptr, listId, 0));
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

    const MadeString first = deviceInfo(id, 0);
    EXPECT_TRUE(first.fromUtf16);
    EXPECT_EQ(first.text, u"1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end");
    EXPECT_EQ(deviceInfo(id, 1).text, u"1:=1234:=ABCD:=0100:=Caf\uFFFD:=?:=:=x:=h:=end");

    for (const MadeString& none : {deviceInfo(id, 2), deviceInfo(id, -1), deviceInfo(id + 1000, 0)}) {
        EXPECT_TRUE(none.fromUtf16);
        EXPECT_EQ(none.text, u"") << "an empty string, not a null reference";
    }
    EXPECT_EQ(entryAt(id, 0)->reportedPresent, 1);
}

TEST_F(DescriptionRecordMethods, AChangeIsReportedOnceAndNeverAsRawBytes) {
    FakeDevice latin;
    latin.manufacturer = "Caf\xE9";
    FakeDevice other;
    other.productId = 0x0001;
    attach({latin, other});
    const int32_t id = create(0x1234);
    EXPECT_EQ(changeInfo(id).text, u"");
    EXPECT_EQ(changeInfo(id + 1000).text, u"");

    attach({other});
    ASSERT_EQ(DeviceListRegistry::update(id), 0);
    DeviceEntry* gone = entryAt(id, 0);
    gone->stateB = 7;
    const MadeString report = changeInfo(id);
    EXPECT_TRUE(report.fromUtf16) << "bytes that are not UTF-8 must not reach NewStringUTF";
    EXPECT_EQ(report.text, u"0:=1234:=ABCD:=0100:=Caf\uFFFD:=Widget:=?:=x:=b:=end");
    EXPECT_EQ(gone->reportedPresent, 0);
    EXPECT_EQ(gone->stateB, 1);
    EXPECT_EQ(changeInfo(id).text, u"");

    attach({latin, other});
    ASSERT_EQ(DeviceListRegistry::update(id), 0);
    EXPECT_EQ(changeInfo(id).text, u"1:=1234:=ABCD:=0100:=Caf\uFFFD:=Widget:=?:=x:=b:=end");
    EXPECT_EQ(changeInfo(id).text, u"");
    EXPECT_EQ(deviceInfo(id, 0).text, u"1:=1234:=ABCD:=0100:=Caf\uFFFD:=Widget:=?:=x:=b:=end");

    for (const MadeString& made : madeStrings) EXPECT_TRUE(made.fromUtf16);
}
