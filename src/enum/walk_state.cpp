#include "enum/walk_state.h"

#include "enum/host_controller_info.h"
#include "enum/interface_lists.h"
#include "enum/walked_hubs.h"

EnumerationResult* currentResult = nullptr;
DeviceFilter* activeFilter = nullptr;

namespace {
constexpr int32_t kSequenceLimit = 32000;  // the counter wraps to 1 on reaching it
int32_t sequenceCounter = 1;
}  // namespace

int vendorPassesFilter(uint16_t vendorId) { return filterAcceptsVendor(activeFilter, vendorId) ? 1 : 0; }

int32_t nextSequenceNumber() {
    int32_t number = sequenceCounter;
    ++sequenceCounter;
    if (sequenceCounter >= kSequenceLimit) sequenceCounter = 1;
    return number;
}

void appendToCurrentResult(DeviceEntry* entry) {
    entry->next = nullptr;
    entry->owner = currentResult;
    if (currentResult->firstEntry == nullptr) {
        currentResult->firstEntry = entry;
        return;
    }
    DeviceEntry* last = currentResult->firstEntry;
    while (last->next != nullptr) last = last->next;
    last->next = entry;
}

void releaseWalkState() {
    clearInterfaceList(hubInterfaceList);
    clearInterfaceList(deviceInterfaceList);
    clearHostControllerList(hostControllerList);
    forgetWalkedHubs();
}
