// Refresh of a device list from a fresh walk. Entries are never removed or
// renumbered: devices that have gone are marked absent, devices seen before
// are marked present again in their old entry, and new devices are appended.
#include "base/status_code.h"
#include "devlist/device_list_registry.h"
#include "devlist/list_entries.h"
#include "devlist/registry_state.h"
#include "enum/enumerate_usb_tree.h"
#include "trace/trace_log.h"
#include "trace/trace_points.h"

namespace DeviceListRegistry {
namespace {

void markAllAbsent(DeviceList& list) {
    tracepoint::tag("U08");
    for (DeviceEntry* entry = list.firstEntry; entry != nullptr; entry = entry->next) entry->present = 0;
}

DeviceEntry* findListed(DeviceList& list, const DeviceEntry& walked) {
    tracepoint::tag("U11");
    for (DeviceEntry* entry = list.firstEntry; entry != nullptr; entry = entry->next)
        if (describesSameDevice(*entry, walked)) return entry;
    return nullptr;
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

void mergeWalk(DeviceList& list, const EnumerationResult& result) {
    tracepoint::tag("U09");
    DeviceEntry* last = lastEntryOf(list);
    for (const DeviceEntry* walked = result.firstEntry; walked != nullptr; walked = walked->next) {
        tracepoint::tag("U10");
        if (DeviceEntry* listed = findListed(list, *walked)) {
            tracepoint::tag("U12");
            listed->present = 1;
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
