// The device-list registry over a fake walk: ids, vendor filters, lookups,
// refresh merging, release and what happens when memory runs out.
#include <gtest/gtest.h>

#include <string>

#include "base/status_code.h"
#include "fake_walk_fixture.h"
#include "jni/exports.h"
#include "session/open_device_table.h"

using DeviceListRegistry::entryAt;
using DeviceListRegistry::findChange;
using DeviceListRegistry::nextEntry;
using DeviceListRegistry::update;

namespace {

FakeDevice device(const char* product, const char* serial, const char* path) {
    FakeDevice d;
    d.product = product;
    d.serial = serial;
    d.devicePath = path;
    return d;
}

int32_t countOf(int32_t listId) {
    return TAMBERLYX_METHOD(usbGetDeviceListCount)(nullptr, nullptr, listId);
}

}  // namespace

using DeviceListRegistryTest = FakeWalkTest;

TEST_F(DeviceListRegistryTest, IdsAreNeverReusedAndOnlyTheLow16BitsOfTheFilterCount) {
    const int32_t all = create(-1);
    ASSERT_GE(all, 0);
    const int32_t acme = create(0x1234);
    EXPECT_EQ(acme, all + 1) << "0xFFFF lists every vendor but matches only the filter 0xFFFF";
    EXPECT_EQ(testsupport::state().calls, 2);

    EXPECT_EQ(create(0xFFFF), all);
    EXPECT_EQ(create(0x11234), acme);
    EXPECT_EQ(testsupport::state().calls, 2) << "an existing list is handed out without a walk";
    EXPECT_EQ(testsupport::state().filtersSeen, (std::vector<uint16_t>{0xFFFF, 0x1234}));

    EXPECT_EQ(release(acme), Success);
    const int32_t again = create(0x1234);
    EXPECT_EQ(again, acme + 1) << "a released id is never handed out again";
    EXPECT_EQ(testsupport::state().calls, 3);
    EXPECT_EQ(testsupport::state().filtersSeen.back(), 0x1234);
}

TEST_F(DeviceListRegistryTest, UnknownListsAndAnEmptyRegistryAreReported) {
    EXPECT_EQ(update(0), NoLists);
    EXPECT_EQ(DeviceListRegistry::release(0), NoLists);
    const int32_t id = create(0x1234);
    EXPECT_EQ(update(id + 1000), ListNotFound);
    EXPECT_EQ(DeviceListRegistry::release(id + 1000), ListNotFound);
    EXPECT_EQ(DeviceListRegistry::release(-5), ListNotFound);
    EXPECT_EQ(testsupport::state().calls, 1);
    EXPECT_EQ(release(id), Success);
    EXPECT_EQ(release(id), NoLists);
    EXPECT_EQ(countOf(id), 0);
}

TEST_F(DeviceListRegistryTest, CreateCopiesTheWalkInOrderAndLookupsStayInBounds) {
    attach({device("A", "1", "pa"), device("B", "2", "pb"), device("C", nullptr, "pc")});
    const sim::Counts beforeCreate = sim::openCounts();
    const int32_t id = create(0x1234);
    // What remains is the list, its filter and three entries with four texts
    // each: the walk's own records are gone.
    EXPECT_EQ(sim::openCounts().heapBlocks, beforeCreate.heapBlocks + 5);
    EXPECT_EQ(sim::openCounts().crtBlocks, beforeCreate.crtBlocks + 12);

    EXPECT_EQ(countOf(id), 3);
    const char* products[] = {"A", "B", "C"};
    for (int32_t i = 0; i < 3; ++i) {
        DeviceEntry* entry = entryAt(id, i);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->index, i);
        EXPECT_STREQ(entry->deviceDescription, products[i]);
        EXPECT_EQ(entry->owner, entryAt(id, 0)->owner);
        EXPECT_NE(entry->owner, nullptr);
        EXPECT_EQ(entry->fileHandle, platform::invalidHandle());
    }
    EXPECT_STREQ(entryAt(id, 2)->serialNumber, "?");
    EXPECT_EQ(nextEntry(id, nullptr), entryAt(id, 0));
    EXPECT_EQ(nextEntry(id, entryAt(id, 1)), entryAt(id, 2));
    EXPECT_EQ(entryAt(id, 3), nullptr);
    EXPECT_EQ(entryAt(id, -1), nullptr);
    EXPECT_EQ(entryAt(id, INT32_MIN), nullptr);
    EXPECT_EQ(entryAt(id + 1000, 0), nullptr);
    EXPECT_EQ(nextEntry(id + 1000, nullptr), nullptr);
    EXPECT_EQ(findChange(id, 0), nullptr);
}

TEST_F(DeviceListRegistryTest, UpdateMarksGoneDevicesAbsentAndAppendsNewOnesWithoutReportingThem) {
    const FakeDevice a = device("A", "1", "pa"), b = device("B", "2", "pb"), c = device("C", "3", "pc");
    attach({a, b});
    const int32_t id = create(-1);
    attach({b, c});
    EXPECT_EQ(update(id), Success);

    ASSERT_EQ(countOf(id), 3);
    EXPECT_EQ(entryAt(id, 0)->present, 0);
    EXPECT_STREQ(entryAt(id, 0)->deviceDescription, "A");
    EXPECT_EQ(entryAt(id, 1)->present, 1);
    DeviceEntry* appended = entryAt(id, 2);
    EXPECT_STREQ(appended->deviceDescription, "C");
    EXPECT_EQ(appended->index, 2);
    EXPECT_EQ(appended->present, 1);
    EXPECT_EQ(appended->reportedPresent, 1);
    EXPECT_EQ(findChange(id, 2), entryAt(id, 0)) << "only the device that went is a change";

    // The device comes back on another port: its old entry is found again
    // and takes the paths it can be opened under now.
    FakeDevice movedA = device("A", "1", "pa-new");
    movedA.hidPath = "hid-a";
    attach({movedA, b, c});
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(countOf(id), 3);
    EXPECT_EQ(entryAt(id, 0)->present, 1);
    EXPECT_STREQ(entryAt(id, 0)->devicePath, "pa-new");
    EXPECT_STREQ(entryAt(id, 0)->hidPath, "hid-a");
    EXPECT_EQ(entryAt(id, 0)->isHid, 1);
    EXPECT_EQ(findChange(id, 0), nullptr) << "gone and back again before anyone asked is no change";
}

TEST_F(DeviceListRegistryTest, MatchingComparesIdsReleaseNumberAndTextsExactly) {
    FakeDevice base = device("Widget", "S1", "p0");
    attach({base});
    const int32_t id = create(-1);

    FakeDevice otherCase = base;
    otherCase.product = "widget";
    FakeDevice otherRelease = base;
    otherRelease.bcdDevice = 0x0101;
    FakeDevice otherProduct = base;
    otherProduct.productId = 0xABCE;
    FakeDevice noSerial = base;
    noSerial.serial = nullptr;
    attach({otherCase, otherRelease, otherProduct, noSerial});
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(countOf(id), 5);
    EXPECT_EQ(entryAt(id, 0)->present, 0);

    // A walked device without a serial number matches the entry its copy
    // made ("?"), instead of being appended on every refresh.
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(countOf(id), 5);
    EXPECT_STREQ(entryAt(id, 4)->serialNumber, "?");
    EXPECT_EQ(entryAt(id, 4)->present, 1);
}

TEST_F(DeviceListRegistryTest, IdenticalDevicesKeepOneEntryEach) {
    auto twin = [](const char* path) { return device("Twin", nullptr, path); };
    attach({twin("p1"), twin("p2")});
    const int32_t id = create(0x1234);
    ASSERT_EQ(countOf(id), 2);
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(countOf(id), 2);
    EXPECT_EQ(entryAt(id, 0)->present + entryAt(id, 1)->present, 2);
    EXPECT_EQ(findChange(id, 0), nullptr);

    // Three more plugged at once are three new entries, each at its own path.
    attach({twin("p1"), twin("p2"), twin("p3"), twin("p4"), twin("p5")});
    EXPECT_EQ(update(id), Success);
    ASSERT_EQ(countOf(id), 5);
    const char* paths[] = {"p1", "p2", "p3", "p4", "p5"};
    for (int32_t i = 0; i < 5; ++i) {
        EXPECT_STREQ(entryAt(id, i)->devicePath, paths[i]);
        EXPECT_EQ(entryAt(id, i)->present, 1);
    }
    EXPECT_EQ(findChange(id, 0), nullptr);

    // One unplugged: exactly its entry goes, reported once; the twins that
    // stayed keep their entries even though an earlier entry is free.
    attach({twin("p1"), twin("p3"), twin("p4"), twin("p5")});
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(countOf(id), 5);
    EXPECT_EQ(entryAt(id, 1)->present, 0);
    ASSERT_EQ(findChange(id, 0), entryAt(id, 1));
    entryAt(id, 1)->reportedPresent = 0;
    EXPECT_EQ(findChange(id, 0), nullptr);
    EXPECT_STREQ(entryAt(id, 3)->devicePath, "p4");
}

TEST_F(DeviceListRegistryTest, AnOpenTwinKeepsItsEntryAndPathsWhileTheOtherComesAndGoes) {
    auto twin = [](const char* path) { return device("Twin", nullptr, path); };
    attach({twin("p1"), twin("p2")});
    const int32_t id = create(0x1234);
    DeviceEntry* open = entryAt(id, 1);
    ASSERT_NE(open, nullptr);
    open->isOpen = 1;
    // A handle of its own, so that losing it (reset to invalid) shows.
    const platform::Handle handle = reinterpret_cast<platform::Handle>(static_cast<uintptr_t>(0x5EA1));
    open->fileHandle = handle;

    // The first twin goes: the open one is still at its path and stays
    // present, and the entry of the one that went is the change.
    attach({twin("p2")});
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(entryAt(id, 0)->present, 0);
    EXPECT_EQ(open->present, 1);
    EXPECT_EQ(findChange(id, 0), entryAt(id, 0));

    // Both walked at other paths: the closed entry takes the first, the open
    // one keeps the paths its handle was opened on.
    attach({twin("p3"), twin("p4")});
    EXPECT_EQ(update(id), Success);
    EXPECT_EQ(countOf(id), 2);
    EXPECT_EQ(entryAt(id, 0)->present + open->present, 2);
    EXPECT_STREQ(open->devicePath, "p2");
    EXPECT_EQ(open->fileHandle, handle);
    EXPECT_STREQ(entryAt(id, 0)->devicePath, "p3");
    open->isOpen = 0;
    open->fileHandle = platform::invalidHandle();
}

TEST_F(DeviceListRegistryTest, AWalkWithoutResultLeavesTheListAsItWas) {
    testsupport::state().yieldNothing = true;
    const int32_t empty = create(0x1234);
    ASSERT_GE(empty, 0);
    EXPECT_EQ(countOf(empty), 0);
    EXPECT_EQ(update(empty), Success);

    testsupport::state().yieldNothing = false;
    attach({device("A", "1", "pa")});
    EXPECT_EQ(update(empty), Success);
    ASSERT_EQ(countOf(empty), 1);

    testsupport::state().yieldNothing = true;
    EXPECT_EQ(update(empty), Success);
    EXPECT_EQ(entryAt(empty, 0)->present, 1) << "no walk says nothing about the device";
    EXPECT_EQ(findChange(empty, 0), nullptr);
}

TEST_F(DeviceListRegistryTest, NoIdIsHandedOutWithoutAListBehindIt) {
    const int32_t first = create(0x1111);
    // The list record, then (on the next try) its filter, cannot be had.
    sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(create(0x2222), DeviceListRegistry::kNoListMade);
    sim::failNthCall("HeapAlloc", 2, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(create(0x2222), DeviceListRegistry::kNoListMade);
    EXPECT_EQ(sim::faultsHit(), 2u);
    EXPECT_EQ(testsupport::state().calls, 1);
    EXPECT_EQ(countOf(first + 1), 0);
    EXPECT_EQ(update(first + 1), ListNotFound);

    sim::clearFaults();
    EXPECT_EQ(create(0x2222), first + 1) << "failed attempts use up no id";
}

TEST_F(DeviceListRegistryTest, DevicesThatCannotBeCopiedAreLeftOutWithoutGapsOrLeaks) {
    attach({device("A", "1", "pa"), device("B", "2", "pb"), device("C", "3", "pc")});
    // The registry's first entry record fails, and of the next entry the
    // second text copy.
    testsupport::state().beforeReturn = [] {
        sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory);
        sim::failNthCall("malloc", 2, platform::kErrorNotEnoughMemory);
    };
    const int32_t id = create(0x1234);
    testsupport::state().beforeReturn = nullptr;
    sim::clearFaults();
    ASSERT_EQ(countOf(id), 1);
    EXPECT_STREQ(entryAt(id, 0)->deviceDescription, "C");
    EXPECT_EQ(entryAt(id, 0)->index, 0);

    // A refresh picks up what was left out, appended after what is there.
    EXPECT_EQ(update(id), Success);
    ASSERT_EQ(countOf(id), 3);
    EXPECT_STREQ(entryAt(id, 1)->deviceDescription, "A");
    EXPECT_EQ(entryAt(id, 1)->index, 1);
    EXPECT_STREQ(entryAt(id, 2)->deviceDescription, "B");
    EXPECT_EQ(entryAt(id, 2)->index, 2);

    attach({device("A", "1", "pa"), device("B", "2", "pb"), device("C", "3", "pc"), device("D", "4", "pd")});
    testsupport::state().beforeReturn = [] { sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory); };
    EXPECT_EQ(update(id), Success);
    testsupport::state().beforeReturn = nullptr;
    EXPECT_EQ(countOf(id), 3);
}

TEST_F(DeviceListRegistryTest, ReleasingAListWithAnOpenDeviceForgetsItInTheOpenDeviceTable) {
    attach({device("A", "1", "pa"), device("B", "2", "pb")});
    const int32_t id = create(0x1234);
    const int32_t other = create(0x5678);
    DeviceEntry* entry = entryAt(id, 1);
    ASSERT_NE(entry, nullptr);
    entry->isOpen = 1;
    openDeviceTable()[id][1] = entry;

    EXPECT_EQ(TAMBERLYX_METHOD(usbReleaseDeviceList)(nullptr, nullptr, id), Success);
    release(id);  // already gone: keeps the fixture from releasing it again
    EXPECT_EQ(openDeviceTable().count(id), 0u);
    EXPECT_EQ(findOpenDevice(id, 1), nullptr);
    EXPECT_EQ(countOf(id), 0);
    EXPECT_EQ(countOf(other), 0);
    EXPECT_EQ(TAMBERLYX_METHOD(usbReleaseDeviceList)(nullptr, nullptr, other), Success);
    release(other);
}
