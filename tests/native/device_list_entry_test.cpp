// Copying a walked entry into a list entry, and releasing entries.
#include <gtest/gtest.h>

#include <cstring>

#include "base/device_entry.h"
#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"

namespace {

DeviceEntry* zeroEntry() { return static_cast<DeviceEntry*>(platform::HeapAllocZero(sizeof(DeviceEntry))); }

// A walked entry as the walk leaves it, without any of the three description
// texts and without a HID path.
DeviceEntry* walkedEntryWithoutTexts() {
    DeviceEntry* entry = zeroEntry();
    entry->devicePath = platform::crtDuplicate("\\\\?\\usb#vid_0fe2");
    entry->stateA = entry->stateB = entry->present = entry->reportedPresent = 1;
    entry->isHid = 1;
    entry->fileHandle = platform::invalidHandle();
    entry->winUsbHandle = reinterpret_cast<void*>(0x55);
    entry->lastResult = -112;
    entry->lastError = 31;
    entry->vendorId = 0x0FE2;
    entry->productId = 0xBEEF;
    entry->bcdDevice = 0x0213;
    entry->sequenceNumber = 7;
    entry->driverSupported = 1;
    const uint8_t bytes[18] = {18, 1, 0x00, 0x02, 0xFF, 1, 2, 64, 0xE2, 0x0F, 0xEF, 0xBE, 0x13, 0x02, 1, 2, 3, 1};
    static_assert(sizeof bytes == sizeof entry->deviceDescriptor, "descriptor is 18 bytes");
    std::memcpy(&entry->deviceDescriptor, bytes, sizeof bytes);
    return entry;
}

}  // namespace

TEST(DeviceEntryCopy, TakesEveryFieldAndGivesMissingDescriptionsTheirMark) {
    sim::clearFaults();
    const sim::Counts before = sim::openCounts();
    DeviceEntry* walked = walkedEntryWithoutTexts();
    // Four different state words, so that one copied into another shows.
    walked->stateA = 1;
    walked->stateB = 2;
    walked->present = 3;
    walked->reportedPresent = 4;
    walked->isOpen = 5;
    DeviceEntry* listed = zeroEntry();
    listed->index = 4;

    DeviceEntry::copyFrom(walked, listed);

    EXPECT_STREQ(listed->manufacturerDescription, "?");
    EXPECT_STREQ(listed->deviceDescription, "?");
    EXPECT_STREQ(listed->serialNumber, "?");
    EXPECT_EQ(listed->hidPath, nullptr);
    EXPECT_EQ(listed->fileHandle, platform::invalidHandle());
    EXPECT_EQ(listed->winUsbHandle, reinterpret_cast<void*>(0x55));
    EXPECT_EQ(listed->lastResult, -112);
    EXPECT_EQ(listed->lastError, 31u);
    EXPECT_EQ(listed->vendorId, 0x0FE2);
    EXPECT_EQ(listed->productId, 0xBEEF);
    EXPECT_EQ(listed->bcdDevice, 0x0213);
    EXPECT_EQ(listed->sequenceNumber, 7);
    EXPECT_EQ(listed->driverSupported, 1);
    EXPECT_EQ(std::memcmp(&listed->deviceDescriptor, &walked->deviceDescriptor, 18), 0);
    EXPECT_EQ(listed->stateA, 1);
    EXPECT_EQ(listed->stateB, 2);
    EXPECT_EQ(listed->present, 3);
    EXPECT_EQ(listed->reportedPresent, 4);
    EXPECT_EQ(listed->isOpen, 5);
    EXPECT_EQ(listed->isHid, 1);
    // The registry numbers and links the entry; the copy leaves that alone.
    EXPECT_EQ(listed->index, 4);
    EXPECT_EQ(listed->next, nullptr);
    EXPECT_EQ(listed->owner, nullptr);
    EXPECT_TRUE(copyIsComplete(*walked, *listed));

    // The copy's path is its own: it survives the walked entry.
    ASSERT_NE(listed->devicePath, walked->devicePath);
    releaseDeviceEntry(walked);
    EXPECT_EQ(walked, nullptr);
    EXPECT_STREQ(listed->devicePath, "\\\\?\\usb#vid_0fe2");

    releaseDeviceEntry(listed);
    EXPECT_EQ(listed, nullptr);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
}

TEST(DeviceEntryCopy, ToleratesMissingEntriesAndReportsTextsThatCouldNotBeCopied) {
    sim::clearFaults();
    const sim::Counts before = sim::openCounts();
    DeviceEntry* walked = walkedEntryWithoutTexts();
    walked->hidPath = platform::crtDuplicate("\\\\?\\hid#vid_0fe2");
    DeviceEntry::copyFrom(walked, nullptr);
    DeviceEntry::copyFrom(nullptr, walked);
    EXPECT_STREQ(walked->hidPath, "\\\\?\\hid#vid_0fe2");
    EXPECT_EQ(walked->manufacturerDescription, nullptr);

    // The second text allocation (the HID path) fails.
    DeviceEntry* listed = zeroEntry();
    sim::failNthCall("malloc", 2, platform::kErrorNotEnoughMemory);
    DeviceEntry::copyFrom(walked, listed);
    sim::clearFaults();
    EXPECT_EQ(listed->hidPath, nullptr);
    EXPECT_FALSE(copyIsComplete(*walked, *listed));

    releaseDeviceEntry(listed);
    releaseDeviceEntry(walked);
    DeviceEntry* none = nullptr;
    releaseDeviceEntry(none);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
}
