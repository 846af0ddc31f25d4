// Refresh of a device list from a fresh walk. Entries are never removed or
// renumbered: devices that have gone are marked absent, devices seen before
// are marked present again in their old entry, and new devices are appended.
// Each walked device stands for one entry, so identical devices (same ids and
// texts) keep one entry each.
#include <cstring>

#include "base/status_code.h"
#include "devlist/device_list_registry.h"
#include "devlist/list_entries.h"
#include "devlist/registry_state.h"
#include "enum/enumerate_usb_tree.h"
#include "platform/crt.h"
#include "trace/trace_log.h"
#include "trace/trace_points.h"

namespace DeviceListRegistry {
namespace {

void markAllAbsent(DeviceList& list) {
    tracepoint::tag("U08");
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
    tracepoint::tag("U13");
    const int32_t index = last == nullptr ? 0 : last->index + 1;
    DeviceEntry* entry = makeListEntry(walked, &list, index);
    if (entry == nullptr) {
        tracepoint::tag("U14!");
        return;
    }
    if (last == nullptr)
        list.firstEntry = entry;
    else
        last->next = entry;
    last = entry;
    ++list.deviceCount;
    tracepoint::tag("U14");
    tracepoint::number(index);
}

// Each walked device is found again in one entry of its own or appended;
// the walked entries' present words mark which are still to be placed.
void mergeWalk(DeviceList& list, EnumerationResult& result) {
    tracepoint::tag("U09");
    claimUnmovedDevices(list, result);
    DeviceEntry* last = lastEntryOf(list);
    for (DeviceEntry* walked = result.firstEntry; walked != nullptr; walked = walked->next) {
        tracepoint::tag("U10");
        tracepoint::tag("U11");
        if (walked->present == 0) {
            tracepoint::tag("U12");
        } else if (DeviceEntry* listed = findListed(list, *walked, false)) {
            tracepoint::tag("U12");
            claim(*listed, *walked);
        } else {
            appendNewDevice(list, last, *walked);
        }
    }
    tracepoint::tag("U15");
}

int32_t finish(int32_t result) {
    tracepoint::tag("U18");
    tracepoint::number(result);
    tracepoint::tag("U19");
    TraceLog::disable();
    return result;
}

}  // namespace

int32_t update(int32_t listId) {
    TraceLog::open();
    tracepoint::tag("U01");
    if (firstList == nullptr) {
        tracepoint::tag("U02!");
        return finish(NoLists);
    }
    tracepoint::tag("U03");
    DeviceList* list = findList(listId);
    if (list == nullptr) {
        tracepoint::tag("U04!");
        return finish(ListNotFound);
    }
    tracepoint::tag("U05");

    tracepoint::tag("U06");
    EnumerationResult* result = deviceWalk(list->filter);
    if (result == nullptr) {
        // Without a walk nothing is known about the devices: the list is
        // left exactly as it was.
        tracepoint::tag("U07!");
        return finish(Success);
    }
    tracepoint::tag("U07");
    markAllAbsent(*list);
    mergeWalk(*list, *result);

    tracepoint::tag("U16");
    releaseWalkResult(result);
    tracepoint::tag("U17");
    return finish(Success);
}

}  // namespace DeviceListRegistry
