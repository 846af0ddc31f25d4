#include "session/session.h"

#include "base/status_code.h"
#include "devlist/device_list_registry.h"
#include "session/access_handle.h"
#include "session/initialization.h"
#include "session/open_device_table.h"

int32_t accessHandle = -1;

namespace Session {

int32_t initialize() {
    if (accessHandle != -1) return AlreadyInitialized;
    int32_t result = initializeDeviceAccess(&winUsbApi);
    if (result < 0) return result;
    accessHandle = 0;
    return accessHandle;
}

int32_t release(int32_t handle) {
    if (handle != accessHandle) return BadHandle;
    accessHandle = -1;
    return Success;
}

int32_t createList(int32_t handle, int32_t vendorFilter) {
    if (handle != accessHandle) return BadHandle;
    return DeviceListRegistry::create(vendorFilter);
}

int32_t releaseList(int32_t listId) {
    // Devices still open are closed first, so the table never refers to
    // entries that the release frees (list ids are never reused, so what
    // the table holds under this id belongs to this list).
    closeOpenDevicesOfList(listId);
    return DeviceListRegistry::release(listId);
}

int32_t countEntries(int32_t listId) {
    int32_t count = 0;
    for (DeviceEntry* entry = DeviceListRegistry::nextEntry(listId, nullptr); entry != nullptr;
         entry = DeviceListRegistry::nextEntry(listId, entry))
        ++count;
    return count;
}

int32_t updateList(int32_t listId) { return DeviceListRegistry::update(listId); }

const DeviceEntry* entryAt(int32_t listId, int32_t index) { return DeviceListRegistry::entryAt(listId, index); }

const DeviceEntry* takeChange(int32_t listId, int32_t selector) {
    return DeviceListRegistry::takeChange(listId, selector);
}

int32_t openDevice(int32_t listId, int32_t index) {
    DeviceEntry* entry = DeviceListRegistry::entryAt(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    int32_t result = entry->open();
    if (result != Success) return result;
    openDeviceTable()[listId][index] = entry;
    return Success;
}

int32_t closeDevice(int32_t listId, int32_t index) {
    DeviceEntry* entry = findOpenDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    int32_t result = entry->close();
    OpenDeviceTable& table = openDeviceTable();
    table[listId].erase(index);
    if (table[listId].empty()) table.erase(listId);
    return result;
}

DeviceEntry* openedDevice(int32_t listId, int32_t index) { return findOpenDevice(listId, index); }

}  // namespace Session
