#include "session/open_device_table.h"

OpenDeviceTable& openDeviceTable() {
    static OpenDeviceTable table;
    return table;
}

DeviceEntry* findOpenDevice(int32_t listId, int32_t index) {
    OpenDeviceTable& table = openDeviceTable();
    auto list = table.find(listId);
    if (list == table.end()) return nullptr;
    auto entry = list->second.find(index);
    return entry == list->second.end() ? nullptr : entry->second;
}

void closeOpenDevicesOfList(int32_t listId) {
    OpenDeviceTable& table = openDeviceTable();
    auto list = table.find(listId);
    if (list == table.end()) return;
    for (auto& [index, entry] : list->second) entry->close();
    table.erase(list);
}
