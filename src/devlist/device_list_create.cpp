// Creation of a device list: an existing list of the same vendor is handed
// out again; otherwise a new list is made and filled from a fresh walk.
#include "devlist/device_list_registry.h"
#include "devlist/list_entries.h"
#include "devlist/registry_state.h"
#include "enum/enumerate_usb_tree.h"
#include "platform/kernel.h"
#include "trace/trace_log.h"
#include "trace/trace_points.h"

namespace DeviceListRegistry {
namespace {

// A new list record with its one-record filter, not yet linked or numbered;
// null when either allocation fails (nothing is kept then).
DeviceList* makeList(uint16_t vendorId) {
    tracepoint::tag("CDL04");
    DeviceList* list = static_cast<DeviceList*>(platform::HeapAllocZero(sizeof(DeviceList)));
    if (list == nullptr) {
        tracepoint::tag("CDL04!");
        return nullptr;
    }
    tracepoint::tag("CDL05");
    list->filter = static_cast<DeviceFilter*>(platform::HeapAllocZero(sizeof(DeviceFilter)));
    if (list->filter == nullptr) {
        tracepoint::tag("CDL05!");
        releaseDeviceList(list);
        return nullptr;
    }
    list->filter->vendorId = vendorId;
    list->filter->next = nullptr;
    return list;
}

// Copies the walked entries into the new list, numbered from 0. A walked
// entry that cannot be copied is left out; the numbering stays gapless.
void fillFromWalk(DeviceList* list, const EnumerationResult& result) {
    tracepoint::tag("CDL09");
    DeviceEntry* last = nullptr;
    int32_t index = 0;
    for (const DeviceEntry* walked = result.firstEntry; walked != nullptr; walked = walked->next) {
        tracepoint::tag("CDL10");
        DeviceEntry* entry = makeListEntry(*walked, list, index);
        if (entry == nullptr) {
            tracepoint::tag("CDL11!");
            continue;
        }
        tracepoint::tag("CDL11");
        if (last == nullptr)
            list->firstEntry = entry;
        else
            last->next = entry;
        last = entry;
        ++index;
        tracepoint::tag("CDL12");
    }
    tracepoint::tag("CDL13");
}

int32_t finish(int32_t result) {
    tracepoint::tag("CDL16");
    tracepoint::number(result);
    tracepoint::tag("CDL17");
    TraceLog::disable();
    return result;
}

}  // namespace

int32_t create(int32_t vendorFilter) {
    TraceLog::open();
    tracepoint::tag("CDL01");
    const uint16_t vendorId = static_cast<uint16_t>(vendorFilter & 0xFFFF);

    if (firstList != nullptr) {
        tracepoint::tag("CDL02");
        for (DeviceList* list = firstList; list != nullptr; list = list->next) {
            if (list->matchesFilter(vendorId)) {
                tracepoint::tag("CDL03");
                return finish(list->id);
            }
        }
    }

    DeviceList* list = makeList(vendorId);
    if (list == nullptr) return finish(kNoListMade);
    appendList(list);
    list->id = nextListId++;
    list->deviceCount = 0;
    list->firstEntry = nullptr;
    tracepoint::tag("CDL06");

    tracepoint::tag("CDL07");
    EnumerationResult* result = deviceWalk(list->filter);
    if (result == nullptr) {
        // The walk could not even start: the list stays, empty, and a later
        // update can fill it.
        tracepoint::tag("CDL08!");
        return finish(list->id);
    }
    tracepoint::tag("CDL08");
    list->deviceCount = result->deviceCount;
    fillFromWalk(list, *result);

    tracepoint::tag("CDL14");
    releaseWalkResult(result);
    tracepoint::tag("CDL15");
    return finish(list->id);
}

}  // namespace DeviceListRegistry
