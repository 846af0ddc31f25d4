// Fuzz target: the description record of a device entry and its UTF-8 to
// UTF-16 conversion, and the conversion itself on any bytes.
//
// Input: the entry's numbers, then its three texts (each a length byte, up
// to 127 bytes, or absent), then bytes for the converter. Texts and
// converter input sit in blocks of exactly their size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/device_entry.h"
#include "fuzz_bytes.h"
#include "fuzz_environment.h"
#include "jni/description_record.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/model/text.h"
#include "utf16_checks.h"

namespace {

constexpr size_t kLongestText = 127;

[[noreturn]] void fail(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "record fuzz: %s %s\n", what, detail.c_str());
    fuzz::removeEnvironment();
    std::abort();
}

void expect(bool condition, const char* what, const std::string& detail = std::string()) {
    if (!condition) fail(what, detail);
}

// A text of up to 127 bytes in a block of exactly its size and terminator,
// or none (the length byte's top bit).
std::unique_ptr<char[]> readText(fuzz::ByteReader& in) {
    uint8_t head = in.u8();
    if ((head & 0x80) != 0) return nullptr;
    std::vector<uint8_t> bytes = in.bytes(head % (kLongestText + 1));
    std::unique_ptr<char[]> text(new char[bytes.size() + 1]);
    if (!bytes.empty()) std::memcpy(text.get(), bytes.data(), bytes.size());
    text[bytes.size()] = '\0';
    return text;
}

std::string hex4(uint16_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(digits[value >> shift & 0xF]);
    return out;
}

std::string expectedRecord(const DeviceEntry& e) {
    auto text = [](const char* t) { return std::string(t == nullptr ? "?" : t); };
    return std::to_string(e.present) + ":=" + hex4(e.vendorId) + ":=" + hex4(e.productId) + ":=" + hex4(e.bcdDevice) +
           ":=" + text(e.manufacturerDescription) + ":=" + text(e.deviceDescription) + ":=" + text(e.serialNumber) +
           ":=" + (e.driverSupported == 1 ? "x" : "o") + ":=" + (e.isHid != 0 ? "h" : "b") + ":=end";
}

bool isAscii(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] >= 0x80) return false;
    return true;
}

// What any conversion of these bytes must look like: well-formed, ASCII
// unchanged, well-formed UTF-8 back to the same bytes, anything else with
// at least one replacement character.
void checkConverted(const uint8_t* bytes, size_t size, const std::u16string& units) {
    expect(fuzz::isWellFormedUtf16(units), "conversion gave unpaired surrogates");
    if (isAscii(bytes, size)) {
        expect(units.size() == size, "ASCII changed its length");
        for (size_t i = 0; i < size; ++i) expect(units[i] == bytes[i], "ASCII changed");
    } else if (fuzz::isWellFormedUtf8(bytes, size)) {
        expect(sim::utf16ToUtf8(units) == std::string(bytes, bytes + size), "UTF-8 did not come back the same");
    } else {
        expect(units.find(u'\xFFFD') != std::u16string::npos, "malformed UTF-8 without a replacement character");
    }
}

void checkRecord(const DeviceEntry& entry) {
    char record[kDescriptionRecordSize];
    std::memset(record, 0x5A, sizeof record);
    formatDescriptionRecord(entry, record);
    std::string expected = expectedRecord(entry);
    expect(expected.size() < kDescriptionRecordSize, "a record of 127-byte texts does not fit");
    expect(expected == record, "record differs:", record);
    for (size_t i = expected.size(); i < sizeof record; ++i) expect(record[i] == '\0', "record buffer not zero-filled");

    std::u16string units = recordToUtf16(record);
    checkConverted(reinterpret_cast<const uint8_t*>(record), expected.size(), units);
}

// The converter on bytes that need not end in a zero: the count it asks
// for, a conversion into exactly that room, and one unit less.
void checkConverter(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    std::unique_ptr<char[]> text(new char[bytes.size()]);
    std::memcpy(text.get(), bytes.data(), bytes.size());
    const int32_t length = static_cast<int32_t>(bytes.size());
    int32_t needed = platform::MultiByteToWideChar(platform::kCpUtf8, 0, text.get(), length, nullptr, 0);
    expect(needed > 0, "no units for a non-empty text");
    expect(static_cast<size_t>(needed) <= 2 * bytes.size(), "more than two units per byte");

    std::unique_ptr<char16_t[]> room(new char16_t[static_cast<size_t>(needed)]);
    int32_t written = platform::MultiByteToWideChar(platform::kCpUtf8, 0, text.get(), length, room.get(), needed);
    expect(written == needed, "the conversion wrote other than the count it asked for");
    checkConverted(bytes.data(), bytes.size(), std::u16string(room.get(), room.get() + written));

    if (needed > 1) {
        std::unique_ptr<char16_t[]> small(new char16_t[static_cast<size_t>(needed - 1)]);
        int32_t cut = platform::MultiByteToWideChar(platform::kCpUtf8, 0, text.get(), length, small.get(), needed - 1);
        expect(cut == 0 && platform::GetLastError() == platform::kErrorInsufficientBuffer,
               "a conversion that does not fit was not refused");
    }

    // Up to the terminator: one unit more, for the terminator itself.
    if (std::memchr(bytes.data(), 0, bytes.size()) == nullptr) {
        std::unique_ptr<char[]> terminated(new char[bytes.size() + 1]);
        std::memcpy(terminated.get(), bytes.data(), bytes.size());
        terminated[bytes.size()] = '\0';
        int32_t withTerminator = platform::MultiByteToWideChar(platform::kCpUtf8, 0, terminated.get(), -1, nullptr, 0);
        expect(withTerminator == needed + 1, "the terminator is not one unit more");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepareEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader in(data, size);
    DeviceEntry entry{};
    entry.present = static_cast<int32_t>(in.u32());
    entry.vendorId = in.u16();
    entry.productId = in.u16();
    entry.bcdDevice = in.u16();
    entry.driverSupported = static_cast<int32_t>(in.u32());
    entry.isHid = static_cast<int32_t>(in.u32());
    std::unique_ptr<char[]> manufacturer = readText(in);
    std::unique_ptr<char[]> product = readText(in);
    std::unique_ptr<char[]> serial = readText(in);
    entry.manufacturerDescription = manufacturer.get();
    entry.deviceDescription = product.get();
    entry.serialNumber = serial.get();
    checkRecord(entry);
    checkConverter(in.bytes(in.remaining()));
    return 0;
}
