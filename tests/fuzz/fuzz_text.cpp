// Fuzz target: the narrowing rules and the bounded text operations, each
// checked against a plain model of what it must do. Every text and
// destination lives in a heap block of exactly its size, so a read or
// write one byte too far is caught.
//
// Input: parameters (allocation choice, narrowing capacity, destination
// size, counts and maximum, a split point), then two texts A and B.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "enum/bounded_text.h"
#include "enum/narrow_text.h"
#include "enum/string_descriptors.h"
#include "enum/text_compare.h"
#include "fuzz_bytes.h"
#include "fuzz_environment.h"
#include "platform/crt.h"
#include "platform/kernel.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "text fuzz: %s\n", what);
    fuzz::removeEnvironment();
    std::abort();
}

void expect(bool condition, const char* what) {
    if (!condition) fail(what);
}

// Heap blocks of exactly the size asked for.
template <typename T>
std::unique_ptr<T[]> exactCopy(const std::vector<T>& values, size_t extraZeros = 0) {
    std::unique_ptr<T[]> block(new T[values.size() + extraZeros]);
    for (size_t i = 0; i < values.size(); ++i) block[i] = values[i];
    for (size_t i = 0; i < extraZeros; ++i) block[values.size() + i] = 0;
    return block;
}

// Sizes and counts: mostly small, sometimes at and beyond the limits.
size_t countChoice(uint8_t choice, uint32_t value) {
    switch (choice % 8) {
        case 0: return 0;
        case 1: return kTextMaxCount;
        case 2: return kTextMaxSize;
        case 3: return size_t{kTextMaxSize} + 1;
        case 4: return SIZE_MAX;
        default: return value % 600;
    }
}

// Destination sizes: real ones up to 600 bytes, or one the operations must
// refuse before touching anything.
size_t destinationSizeChoice(uint8_t choice, uint16_t value) {
    switch (choice % 8) {
        case 0: return 0;
        case 1: return size_t{kTextMaxSize} + 1;
        case 2: return SIZE_MAX;
        default: return 1 + value % 600;
    }
}

std::vector<char16_t> unitsOf(const std::vector<uint8_t>& bytes) {
    std::vector<char16_t> units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    return units;
}

std::string textOf(const std::vector<uint8_t>& bytes) {
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, text.find('\0'));
}

void checkWcstcs(const std::vector<char16_t>& units, int onProcessHeap) {
    std::unique_ptr<char16_t[]> text = exactCopy(units, 1);
    size_t length = 0;
    while (text[length] != 0) ++length;
    char* narrow = wcstcs(text.get(), onProcessHeap);
    if (narrow == nullptr) return;
    for (size_t i = 0; i <= length; ++i)
        expect(static_cast<uint8_t>(narrow[i]) == (text[i] & 0xFF), "wcstcs: not the low byte of each unit");
    if (onProcessHeap != 0)
        platform::HeapFreeBlock(narrow);
    else
        platform::crtFree(narrow);
}

// The byte scan of narrowCopy: stop where the count of zero bytes reaches
// two, each non-zero byte counting it down; keep the non-zero low bytes.
std::string narrowCopyModel(const char16_t* text, size_t capacity) {
    std::string out;
    int zeros = 0;
    for (size_t position = 0; zeros < 2; ++position) {
        uint8_t byte = static_cast<uint8_t>(position % 2 == 0 ? text[position / 2] & 0xFF : text[position / 2] >> 8);
        if (byte == 0) {
            ++zeros;
        } else {
            if (zeros > 0) --zeros;
            if (position % 2 == 0) out.push_back(static_cast<char>(byte));
        }
    }
    size_t room = capacity == 0 ? 0 : capacity - 1;
    return out.substr(0, room);
}

void checkNarrowCopy(const std::vector<char16_t>& units, size_t capacity) {
    std::unique_ptr<char16_t[]> text = exactCopy(units, 1);
    char* narrow = narrowCopy(text.get(), capacity);
    if (narrow == nullptr) return;
    expect(narrowCopyModel(text.get(), capacity) == narrow, "narrowCopy: differs from the byte scan");
    platform::HeapFreeBlock(narrow);
}

// What a string descriptor says, from its bytes alone: after bLength and
// bDescriptorType, little-endian 16-bit code units (a last odd byte stands
// with a zero high byte), up to the first unit that is zero or above 0x00FF;
// each unit is one byte of text.
std::string descriptorTextModel(const std::vector<uint8_t>& descriptor) {
    std::string text;
    for (size_t low = 2; low < descriptor.size(); low += 2) {
        unsigned high = low + 1 < descriptor.size() ? descriptor[low + 1] : 0;
        unsigned unit = descriptor[low] | high << 8;
        if (unit == 0 || unit > 0xFF) break;
        text.push_back(static_cast<char>(unit));
    }
    return text;
}

// A node as the string request makes it: the descriptor's bLength bytes,
// then the spare zero bytes, in a block of exactly that size.
void checkNarrowDescriptorText(const std::vector<uint8_t>& bytes) {
    uint8_t length = bytes.empty() ? 0 : static_cast<uint8_t>(bytes.size() > 255 ? 255 : bytes.size());
    size_t nodeSize = offsetof(StringDescriptorNode, stringDescriptor) + length + kStringNodeSpareBytes;
    std::unique_ptr<uint8_t[]> block(new uint8_t[nodeSize]());
    auto* node = reinterpret_cast<StringDescriptorNode*>(block.get());
    if (length > 0) std::memcpy(node->stringDescriptor, bytes.data(), length);
    if (length > 0) node->stringDescriptor[0] = length;

    std::vector<uint8_t> descriptor(bytes.begin(), bytes.begin() + length);
    if (length > 0) descriptor[0] = length;
    const std::string expected = descriptorTextModel(descriptor);
    std::unique_ptr<char[]> buffer(new char[kDescriptorTextBufferSize]);
    std::memset(buffer.get(), 0x5A, kDescriptorTextBufferSize);
    narrowDescriptorText(node, buffer.get());
    expect(expected == buffer.get(), "narrowDescriptorText: differs from the unit scan");
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void checkFindNoCase(const std::string& text, const std::string& pattern) {
    std::unique_ptr<char[]> t = exactCopy(std::vector<char>(text.begin(), text.end()), 1);
    std::unique_ptr<char[]> p = exactCopy(std::vector<char>(pattern.begin(), pattern.end()), 1);
    int32_t expected = -1;
    for (size_t i = 0; pattern.size() <= text.size() && i <= text.size() - pattern.size() && expected < 0; ++i) {
        size_t j = 0;
        while (j < pattern.size() && upper(text[i + j]) == upper(pattern[j])) ++j;
        if (j == pattern.size()) expected = static_cast<int32_t>(i);
    }
    expect(findNoCase(t.get(), p.get()) == expected, "findNoCase: wrong position");
    bool equal = text.size() == pattern.size() && expected == 0;
    expect(equalsNoCase(t.get(), p.get()) == equal, "equalsNoCase: disagrees with findNoCase");
}

// A text that need not end within its block: boundedLength may look at no
// more than the maximum the caller gives, which never exceeds the block.
void checkBoundedLength(const std::vector<uint8_t>& bytes, size_t maximumChoice) {
    std::unique_ptr<char[]> text = exactCopy(std::vector<char>(bytes.begin(), bytes.end()));
    bool validMaximum = maximumChoice <= kTextMaxSize;
    size_t maximum = validMaximum && maximumChoice > bytes.size() ? bytes.size() : maximumChoice;
    size_t length = 12345;
    int32_t result = boundedLength(text.get(), maximum, &length);
    const void* end = validMaximum && maximum > 0 ? std::memchr(bytes.data(), 0, maximum) : nullptr;
    if (end == nullptr) {
        expect(result == kTextInvalidArgument && length == 0, "boundedLength: accepted a text without an end");
    } else {
        size_t expected = static_cast<size_t>(static_cast<const uint8_t*>(end) - bytes.data());
        expect(result == kTextOk && length == expected, "boundedLength: wrong length");
    }
    expect(boundedLength(nullptr, 10, &length) == kTextInvalidArgument && length == 0, "boundedLength: null text");
}

constexpr char kCanary = static_cast<char>(0xA5);

// A destination of the chosen size; an invalid size gets a small real
// block that the operation must leave untouched.
struct Destination {
    size_t size;
    size_t real;
    std::unique_ptr<char[]> block;
    std::string before;
};

Destination makeDestination(size_t size, const std::vector<uint8_t>& content) {
    Destination d;
    d.size = size;
    d.real = size == 0 || size > kTextMaxSize ? 8 : size;
    d.block.reset(new char[d.real]);
    std::memset(d.block.get(), kCanary, d.real);
    if (!content.empty()) std::memcpy(d.block.get(), content.data(), content.size() < d.real ? content.size() : d.real);
    d.before.assign(d.block.get(), d.real);
    return d;
}

std::string contents(const Destination& d) { return std::string(d.block.get(), d.real); }

// The outcome of a copy of at most count characters of source into room
// characters at offset: the bytes after it are those it started with.
int32_t modelCopy(std::string& bytes, size_t offset, size_t room, const std::string& source, size_t count) {
    size_t n = count < source.size() ? count : source.size();
    if (n >= room) {
        bytes.replace(offset, room - 1, source, 0, room - 1);
        bytes[offset + room - 1] = '\0';
        return kTextInsufficientBuffer;
    }
    bytes.replace(offset, n, source, 0, n);
    bytes[offset + n] = '\0';
    return kTextOk;
}

void checkBoundedCopy(size_t size, const std::string& source, size_t count, const std::vector<uint8_t>& content) {
    Destination d = makeDestination(size, content);
    std::unique_ptr<char[]> src = exactCopy(std::vector<char>(source.begin(), source.end()), 1);
    int32_t result = boundedCopy(d.block.get(), d.size, src.get(), count);
    std::string expected = d.before;
    int32_t expectedResult;
    if (d.size != d.real) {
        expectedResult = kTextInvalidArgument;
    } else if (count > kTextMaxCount) {
        expected[0] = '\0';
        expectedResult = kTextInvalidArgument;
    } else {
        expectedResult = modelCopy(expected, 0, d.size, source, count);
    }
    expect(result == expectedResult, "boundedCopy: wrong result");
    expect(contents(d) == expected, "boundedCopy: wrong bytes in the destination");
    if (result == kTextOk || result == kTextInsufficientBuffer)
        expect(std::memchr(d.block.get(), 0, d.real) != nullptr, "boundedCopy: destination left unterminated");
}

void checkBoundedAppend(size_t size, const std::string& source, size_t count, const std::vector<uint8_t>& content) {
    Destination d = makeDestination(size, content);
    std::unique_ptr<char[]> src = exactCopy(std::vector<char>(source.begin(), source.end()), 1);
    int32_t result = boundedAppend(d.block.get(), d.size, src.get(), count);
    std::string expected = d.before;
    int32_t expectedResult = kTextInvalidArgument;
    size_t length = expected.find('\0');
    if (d.size == d.real && length != std::string::npos && count <= kTextMaxCount)
        expectedResult = modelCopy(expected, length, d.size - length, source, count);
    expect(result == expectedResult, "boundedAppend: wrong result");
    expect(contents(d) == expected, "boundedAppend: wrong bytes in the destination");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepareEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader in(data, size);
    int onProcessHeap = in.u8() & 1;
    size_t capacity = in.u16() % 600;
    uint8_t sizeChoice = in.u8();
    size_t destinationSize = destinationSizeChoice(sizeChoice, in.u16());
    uint8_t countSelector = in.u8();
    size_t count = countChoice(countSelector, in.u32());
    uint8_t maximumSelector = in.u8();
    size_t maximum = countChoice(maximumSelector, in.u32());
    size_t split = in.u16();
    std::vector<uint8_t> rest = in.bytes(in.remaining());
    if (split > rest.size()) split = rest.size();
    std::vector<uint8_t> a(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(split));
    std::vector<uint8_t> b(rest.begin() + static_cast<std::ptrdiff_t>(split), rest.end());

    std::vector<char16_t> units = unitsOf(a);
    checkWcstcs(units, onProcessHeap);
    checkNarrowCopy(units, capacity);
    checkNarrowDescriptorText(a);
    checkFindNoCase(textOf(a), textOf(b));
    checkBoundedLength(a, maximum);
    checkBoundedCopy(destinationSize, textOf(b), count, a);
    checkBoundedAppend(destinationSize, textOf(b), count, a);
    return 0;
}
