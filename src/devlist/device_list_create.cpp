// Creation of a device list: an existing list of the same vendor is handed
// out again; otherwise a new list is made and filled from a fresh walk.
#include "devlist/device_list_registry.h"
#include "devlist/list_entries.h"
#include "devlist/list_trace.h"
#include "devlist/registry_state.h"
#include "platform/kernel.h"

namespace DeviceListRegistry {
namespace {

// A new list record with its one-record filter, not yet linked or numbered;
// null when either allocation fails (nothing is kept then).
DeviceList* makeList(uint16_t vendorId) {
    traceStep("CDL04");
    DeviceList* list = static_cast<DeviceList*>(platform::HeapAllocZero(sizeof(DeviceList)));
    if (list == nullptr) {
        traceStep("CDL04!");
        return nullptr;
    }
    traceStep("CDL05");
    list->filter = static_cast<DeviceFilter*>(platform::HeapAllocZero(sizeof(DeviceFilter)));
    if (list->filter == nullptr) {
        traceStep("CDL05!");
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
    traceStep("CDL09");
    DeviceEntry* last = nullptr;
    int32_t index = 0;
    for (const DeviceEntry* walked = result.firstEntry; walked != nullptr; walked = walked->next) {
        traceStep("CDL10");
        DeviceEntry* entry = makeListEntry(*walked, list, index);
        if (entry == nullptr) {
            traceStep("CDL11!");
            continue;
        }
        traceStep("CDL11");
        if (last == nullptr)
            list->firstEntry = entry;
        else
            last->next = entry;
        last = entry;
        ++index;
        traceStep("CDL12");
    }
    traceStep("CDL13");
}

int32_t finish(int32_t result) {
    traceStep("CDL16");
    traceNumber(result);
    traceStep("CDL17");
    TraceLog::disable();
    return result;
}

}  // namespace

int32_t create(int32_t vendorFilter) {
    TraceLog::open();
    traceStep("CDL01");
    const uint16_t vendorId = static_cast<uint16_t>(vendorFilter & 0xFFFF);

    if (firstList != nullptr) {
        traceStep("CDL02");
        for (DeviceList* list = firstList; list != nullptr; list = list->next) {
            if (list->matchesFilter(vendorId)) {
                traceStep("CDL03");
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
    traceStep("CDL06");

    traceStep("CDL07");
    EnumerationResult* result = deviceWalk(list->filter);
    if (result == nullptr) {
        // The walk could not even start: the list stays, empty, and a later
        // update can fill it.
        traceStep("CDL08!");
        return finish(list->id);
    }
    traceStep("CDL08");
    list->deviceCount = result->deviceCount;
    fillFromWalk(list, *result);

    traceStep("CDL14");
    releaseWalkResult(result);
    traceStep("CDL15");
    return finish(list->id);
}

}  // namespace DeviceListRegistry
