// Refresh of a device list from a fresh walk. Entries are never removed or
// renumbered: devices that have gone are marked absent, devices seen before
// are marked present again in their old entry, and new devices are appended.
// Each walked device stands for one entry, so identical devices (same ids and
// texts) keep one entry each.
#include "devlist/device_list_registry.h"

#include <cstring>

#include "devlist/list_entries.h"
#include "devlist/list_trace.h"
#include "devlist/registry_state.h"
#include "jni/status_code.h"
#include "platform/crt.h"

namespace DeviceListRegistry {
namespace {

void markAllAbsent(DeviceList& list) {
    traceStep("U08");
    for (DeviceEntry* entry = list.firstEntry; entry != nullptr; entry = entry->next) entry->present = 0;
}

// Whether two entries were recorded at the same interface: the same port of
// the same hub, so the same physical device when they also describe it alike.
bool sameInterface(const DeviceEntry& listed, const DeviceEntry& walked) {
    return (listed.devicePath != nullptr && walked.devicePath != nullptr &&
            std::strcmp(listed.devicePath, walked.devicePath) == 0) ||
           (listed.hidPath != nullptr && walked.hidPath != nullptr && std::strcmp(listed.hidPath, walked.hidPath) == 0);
}

// An entry that no walked device of this update has claimed yet: every entry
// starts the update absent, and claiming it (or appending it) makes it
// present, so one entry stands for at most one walked device.
bool unclaimed(const DeviceEntry& entry) { return entry.present == 0; }

// The entry a walked device is found again in: one describing it alike and
// still unclaimed, preferably one recorded at the same interface.
DeviceEntry* findListed(DeviceList& list, const DeviceEntry& walked, bool sameInterfaceOnly) {
    for (DeviceEntry* entry = list.firstEntry; entry != nullptr; entry = entry->next)
        if (unclaimed(*entry) && describesSameDevice(*entry, walked) &&
            (!sameInterfaceOnly || sameInterface(*entry, walked)))
            return entry;
    return nullptr;
}

// Replaces text with a copy of fresh unless they already read the same; false
// (and text unchanged) when the copy cannot be allocated.
bool takeText(char*& text, const char* fresh) {
    if (text == nullptr ? fresh == nullptr : fresh != nullptr && std::strcmp(text, fresh) == 0) return true;
    char* copy = nullptr;
    if (fresh != nullptr && (copy = platform::crtDuplicate(fresh)) == nullptr) return false;
    platform::crtFree(text);
    text = copy;
    return true;
}

// A device found again may sit on another port now: a closed entry takes the
// paths it is reachable under today. An open entry keeps the paths its
// handle was opened on.
void takeFreshPaths(DeviceEntry& listed, const DeviceEntry& walked) {
    if (listed.isOpen != 0) return;
    // Without memory for a copy the entry keeps the path it could not
    // replace (and its kind); the next update tries again.
    if (!takeText(listed.devicePath, walked.devicePath) || !takeText(listed.hidPath, walked.hidPath)) return;
    listed.isHid = walked.isHid;
}

void claim(DeviceEntry& listed, DeviceEntry& walked) {
    listed.present = 1;
    takeFreshPaths(listed, walked);
    walked.present = 0;  // placed: the merge below leaves it alone
}

// Devices still at the interface an entry recorded are placed first, so a
// twin elsewhere in the walk cannot take the entry (and the open handle) of
// a device that never moved.
void claimUnmovedDevices(DeviceList& list, EnumerationResult& result) {
    for (DeviceEntry* walked = result.firstEntry; walked != nullptr; walked = walked->next)
        if (DeviceEntry* listed = findListed(list, *walked, true)) claim(*listed, *walked);
}

DeviceEntry* lastEntryOf(DeviceList& list) {
    DeviceEntry* last = list.firstEntry;
    while (last != nullptr && last->next != nullptr) last = last->next;
    return last;
}

// Appends a copy of a device the list has not seen. A device that cannot be
// copied is left out this time; a later update tries again.
void appendNewDevice(DeviceList& list, DeviceEntry*& last, const DeviceEntry& walked) {
    traceStep("U13");
    const int32_t index = last == nullptr ? 0 : last->index + 1;
    DeviceEntry* entry = makeListEntry(walked, &list, index);
    if (entry == nullptr) {
        traceStep("U14!");
        return;
    }
    if (last == nullptr)
        list.firstEntry = entry;
    else
        last->next = entry;
    last = entry;
    ++list.deviceCount;
    traceStep("U14");
    traceNumber(index);
}

// Each walked device is found again in one entry of its own or appended;
// the walked entries' present words mark which are still to be placed.
void mergeWalk(DeviceList& list, EnumerationResult& result) {
    traceStep("U09");
    claimUnmovedDevices(list, result);
    DeviceEntry* last = lastEntryOf(list);
    for (DeviceEntry* walked = result.firstEntry; walked != nullptr; walked = walked->next) {
        traceStep("U10");
        traceStep("U11");
        if (walked->present == 0) {
            traceStep("U12");
        } else if (DeviceEntry* listed = findListed(list, *walked, false)) {
            traceStep("U12");
            claim(*listed, *walked);
        } else {
            appendNewDevice(list, last, *walked);
        }
    }
    traceStep("U15");
}

int32_t finish(int32_t result) {
    traceStep("U18");
    traceNumber(result);
    traceStep("U19");
    TraceLog::disable();
    return result;
}

}  // namespace

int32_t update(int32_t listId) {
    TraceLog::open();
    traceStep("U01");
    if (firstList == nullptr) {
        traceStep("U02!");
        return finish(NoLists);
    }
    traceStep("U03");
    DeviceList* list = findList(listId);
    if (list == nullptr) {
        traceStep("U04!");
        return finish(ListNotFound);
    }
    traceStep("U05");

    traceStep("U06");
    EnumerationResult* result = deviceWalk(list->filter);
    if (result == nullptr) {
        // Without a walk nothing is known about the devices: the list is
        // left exactly as it was.
        traceStep("U07!");
        return finish(Success);
    }
    traceStep("U07");
    markAllAbsent(*list);
    mergeWalk(*list, *result);

    traceStep("U16");
    releaseWalkResult(result);
    traceStep("U17");
    return finish(Success);
}

}  // namespace DeviceListRegistry
