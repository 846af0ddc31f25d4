// Narrowing rules, case-insensitive search and bounded text operations of
// the topology walk, at their edges.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "enum/bounded_text.h"
#include "enum/narrow_text.h"
#include "enum/string_descriptors.h"
#include "enum/text_compare.h"
#include "enum_fixture.h"
#include "platform/crt.h"
#include "platform/kernel.h"

namespace {

using TextHelpers = testsupport::SimulatedMachineTest;

// The text of narrowDescriptorText for a descriptor node holding text.
std::string descriptorText(const std::u16string& text) {
    size_t length = 2 + 2 * text.size();
    auto* node = static_cast<StringDescriptorNode*>(
        platform::HeapAllocZero(offsetof(StringDescriptorNode, stringDescriptor) + length + kStringNodeSpareBytes));
    node->stringDescriptor[0] = static_cast<uint8_t>(length);
    node->stringDescriptor[1] = 3;
    std::memcpy(node->stringDescriptor + 2, text.data(), 2 * text.size());  // little-endian host
    char buffer[kDescriptorTextBufferSize];
    narrowDescriptorText(node, buffer);
    platform::HeapFreeBlock(node);
    return buffer;
}

std::string copied(char* narrow) {
    std::string text = narrow;
    platform::HeapFreeBlock(narrow);
    return text;
}

}  // namespace

TEST_F(TextHelpers, WcstcsKeepsEveryLowByteInTheChosenAllocator) {
    char* empty = wcstcs(u"", 0);
    EXPECT_EQ(sim::openCounts().crtBlocks, before.crtBlocks + 1);
    EXPECT_EQ(empty[0], '\0');
    platform::crtFree(empty);

    const char16_t text[] = {u'A', 0x0100, u'B', 0x0141, 0};
    char* narrow = wcstcs(text, 1);
    EXPECT_EQ(sim::openCounts().heapBlocks, before.heapBlocks + 1);
    const char expected[] = {0x41, 0x00, 0x42, 0x41, 0x00};  // reads "A"
    EXPECT_EQ(std::memcmp(narrow, expected, sizeof expected), 0);
    platform::HeapFreeBlock(narrow);
}

TEST_F(TextHelpers, NarrowCopyStopsAtTwoZeroBytesWithinItsCapacity) {
    EXPECT_EQ(copied(narrowCopy(u"AB", 3)), "AB");
    const char16_t stop[] = {u'A', 0x0100, u'B', 0};
    EXPECT_EQ(copied(narrowCopy(stop, 4)), "A");
    const char16_t folded[] = {0x0141, 0};
    EXPECT_EQ(copied(narrowCopy(folded, 2)), "A");
    EXPECT_EQ(copied(narrowCopy(u"ABCDEF", 3)), "AB");  // never past the block
}

TEST_F(TextHelpers, DescriptorTextKeepsLatinOneAndEndsAtWiderUnits) {
    EXPECT_EQ(descriptorText(u"A\u00E9B"), "A\xE9"
                                           "B");
    EXPECT_EQ(descriptorText(u"A\u4E2DB"), "A");
    EXPECT_EQ(descriptorText(std::u16string(126, u'x')), std::string(126, 'x'));
}

TEST_F(TextHelpers, FindNoCaseFoldsOnlyAsciiLetters) {
    EXPECT_EQ(findNoCase("hId_mouse", "Hid"), 0);
    EXPECT_EQ(findNoCase("xyHID", "Hid"), 2);
    EXPECT_EQ(findNoCase("Hi", "Hid"), -1);
    EXPECT_EQ(findNoCase("anything", ""), 0);
    EXPECT_EQ(findNoCase("\xC9t", "\xE9"), -1);  // no folding above ASCII
}

TEST_F(TextHelpers, BoundedOperationsCutOrRefuseAtTheirLimits) {
    size_t length = 99;
    EXPECT_EQ(boundedLength(nullptr, 256, &length), kTextInvalidArgument);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(boundedLength(std::string(255, 'k').c_str(), 256, &length), kTextOk);
    EXPECT_EQ(length, 255u);
    EXPECT_EQ(boundedLength(std::string(256, 'k').c_str(), 256, &length), kTextInvalidArgument);

    char small[5];
    EXPECT_EQ(boundedCopy(small, sizeof small, "0123456789", 10), kTextInsufficientBuffer);
    EXPECT_STREQ(small, "0123");
    EXPECT_EQ(boundedCopy(small, sizeof small, "ab", 0x7FFFFFFF), kTextInvalidArgument);
    EXPECT_STREQ(small, "");

    char path[12] = "\\\\.\\";
    EXPECT_EQ(boundedAppend(path, sizeof path, "ROOT#HUB#X", 10), kTextInsufficientBuffer);
    EXPECT_STREQ(path, "\\\\.\\ROOT#HU");
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(boundedAppend(full, sizeof full, "x", 1), kTextInvalidArgument);
    EXPECT_EQ(std::memcmp(full, "abcd", 4), 0);
}
