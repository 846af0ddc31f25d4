// Narrowing rules, case-insensitive search and bounded text operations of
// the topology walk.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "enum/bounded_text.h"
#include "enum/narrow_text.h"
#include "enum/string_descriptors.h"
#include "enum/text_compare.h"
#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/sim/faults.h"
#include "platform/sim/sim.h"

namespace {

class TextHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::clearFaults();
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }
    sim::Counts before;
};

// A string descriptor node as the descriptor reader makes it.
StringDescriptorNode* makeNode(const std::u16string& text) {
    size_t length = 2 + 2 * text.size();
    auto* node = static_cast<StringDescriptorNode*>(
        platform::HeapAllocZero(offsetof(StringDescriptorNode, stringDescriptor) + length + kStringNodeSpareBytes));
    node->stringDescriptor[0] = static_cast<uint8_t>(length);
    node->stringDescriptor[1] = 3;
    for (size_t i = 0; i < text.size(); ++i) {
        node->stringDescriptor[2 + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        node->stringDescriptor[3 + 2 * i] = static_cast<uint8_t>(text[i] >> 8);
    }
    return node;
}

}  // namespace

TEST_F(TextHelpers, WcstcsKeepsLowBytesInTheChosenAllocator) {
    char* empty = wcstcs(u"", 1);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
    EXPECT_EQ(sim::openCounts().heapBlocks, before.heapBlocks + 1);
    platform::HeapFreeBlock(empty);

    const char16_t cut[] = {u'A', 0x0100, u'B', 0};
    char* onCrt = wcstcs(cut, 0);
    ASSERT_NE(onCrt, nullptr);
    EXPECT_EQ(sim::openCounts().crtBlocks, before.crtBlocks + 1);
    const char expected[] = {0x41, 0x00, 0x42, 0x00};
    EXPECT_EQ(std::memcmp(onCrt, expected, sizeof expected), 0);
    EXPECT_STREQ(onCrt, "A");
    platform::crtFree(onCrt);

    const char16_t folded[] = {0x0141, u'z', 0};
    char* narrow = wcstcs(folded, 1);
    EXPECT_STREQ(narrow, "Az");
    platform::HeapFreeBlock(narrow);
}

TEST_F(TextHelpers, WcstcsGivesNullWhenItsAllocatorFails) {
    sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(wcstcs(u"abc", 1), nullptr);
    sim::failNthCall("malloc", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(wcstcs(u"abc", 0), nullptr);
}

TEST_F(TextHelpers, NarrowCopyStopsAtTwoZeroBytesAndStaysInsideItsCapacity) {
    char* two = narrowCopy(u"AB", 3);
    EXPECT_STREQ(two, "AB");
    platform::HeapFreeBlock(two);

    const char16_t stop[] = {u'A', 0x0100, u'B', 0};
    char* first = narrowCopy(stop, 4);
    EXPECT_STREQ(first, "A");
    platform::HeapFreeBlock(first);

    const char16_t folded[] = {0x0141, 0};
    char* low = narrowCopy(folded, 2);
    EXPECT_STREQ(low, "A");
    platform::HeapFreeBlock(low);

    // A capacity below what the text needs cuts the text instead of
    // writing past the block.
    char* cut = narrowCopy(u"ABCDEF", 3);
    EXPECT_STREQ(cut, "AB");
    platform::HeapFreeBlock(cut);
}

TEST_F(TextHelpers, DescriptorTextKeepsLatinOneAndEndsAtWiderUnits) {
    char buffer[kDescriptorTextBufferSize];
    StringDescriptorNode* latin = makeNode(u"A\u00E9B");
    narrowDescriptorText(latin, buffer);
    EXPECT_STREQ(buffer, "A\xE9"
                         "B");
    platform::HeapFreeBlock(latin);

    StringDescriptorNode* wide = makeNode(u"A\u4E2DB");
    narrowDescriptorText(wide, buffer);
    EXPECT_STREQ(buffer, "A");
    platform::HeapFreeBlock(wide);

    StringDescriptorNode* longest = makeNode(std::u16string(126, u'x'));
    narrowDescriptorText(longest, buffer);
    EXPECT_EQ(std::string(buffer), std::string(126, 'x'));
    platform::HeapFreeBlock(longest);
}

TEST_F(TextHelpers, FindNoCaseFoldsOnlyAsciiLetters) {
    EXPECT_EQ(findNoCase("hId_mouse", "Hid"), 0);
    EXPECT_EQ(findNoCase("HIDUSB", "Hid"), 0);
    EXPECT_EQ(findNoCase("xyhid", "Hid"), 2);
    EXPECT_EQ(findNoCase("Hi", "Hid"), -1);
    EXPECT_EQ(findNoCase("anything", ""), 0);
    EXPECT_EQ(findNoCase("WinUSB", "winusb"), 0);
    EXPECT_EQ(findNoCase("\xC9t\xE9", "\xE9"), 2);
    EXPECT_EQ(findNoCase("\xC9t", "\xE9"), -1);  // no folding above ASCII
    EXPECT_TRUE(equalsNoCase("{36fc9e60-c465}\\0007", "{36FC9E60-C465}\\0007"));
    EXPECT_FALSE(equalsNoCase("abc", "abcd"));
}

TEST_F(TextHelpers, BoundedLengthNeedsATerminatorWithinTheMaximum) {
    size_t length = 99;
    EXPECT_EQ(boundedLength(nullptr, 256, &length), kTextInvalidArgument);
    EXPECT_EQ(length, 0u);
    std::string fits(255, 'k'), tooLong(256, 'k');
    EXPECT_EQ(boundedLength(fits.c_str(), 256, &length), kTextOk);
    EXPECT_EQ(length, 255u);
    EXPECT_EQ(boundedLength(tooLong.c_str(), 256, &length), kTextInvalidArgument);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(boundedLength("abc", 0x80000000u, &length), kTextInvalidArgument);
    EXPECT_EQ(boundedLength("abc", 0, &length), kTextInvalidArgument);
}

TEST_F(TextHelpers, BoundedCopyCutsToTheDestinationAndRefusesBadSizes) {
    char small[5];
    EXPECT_EQ(boundedCopy(small, sizeof small, "0123456789", 10), kTextInsufficientBuffer);
    EXPECT_STREQ(small, "0123");

    char exact[5];
    EXPECT_EQ(boundedCopy(exact, sizeof exact, "0123456789", 4), kTextOk);
    EXPECT_STREQ(exact, "0123");

    char untouched[4] = {'q', 'q', 'q', '\0'};
    EXPECT_EQ(boundedCopy(untouched, 0, "ab", 2), kTextInvalidArgument);
    EXPECT_EQ(boundedCopy(untouched, 0x80000000u, "ab", 2), kTextInvalidArgument);
    EXPECT_STREQ(untouched, "qqq");
    EXPECT_EQ(boundedCopy(untouched, sizeof untouched, "ab", 0x7FFFFFFF), kTextInvalidArgument);
    EXPECT_STREQ(untouched, "");
}

TEST_F(TextHelpers, BoundedAppendBuildsHubPathsAndRefusesUnterminatedDestinations) {
    char path[16];
    ASSERT_EQ(boundedCopy(path, sizeof path, "\\\\.\\", 4), kTextOk);
    EXPECT_EQ(boundedAppend(path, sizeof path, "USB#ROOT", 8), kTextOk);
    EXPECT_STREQ(path, "\\\\.\\USB#ROOT");
    EXPECT_EQ(boundedAppend(path, sizeof path, "_HUB_MORE", 9), kTextInsufficientBuffer);
    EXPECT_STREQ(path, "\\\\.\\USB#ROOT_HU");

    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(boundedAppend(full, sizeof full, "x", 1), kTextInvalidArgument);
    EXPECT_EQ(std::memcmp(full, "abcd", 4), 0);

    char text[8] = "ab";
    EXPECT_EQ(boundedAppend(text, sizeof text, "cd", 0x7FFFFFFF), kTextInvalidArgument);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(boundedAppend(text, 0, "cd", 2), kTextInvalidArgument);
    EXPECT_STREQ(text, "ab");
}
