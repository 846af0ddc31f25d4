// The devices opened through usbOpenDevice, by list id and index. The table
// refers to entries; their lists own them.
#pragma once

#include <cstdint>
#include <map>

#include "base/device_entry.h"

using OpenDeviceTable = std::map<int32_t, std::map<int32_t, DeviceEntry*>>;

OpenDeviceTable& openDeviceTable();

// The open entry recorded under (listId, index), or null.
DeviceEntry* findOpenDevice(int32_t listId, int32_t index);

// Closes every open device of a list and forgets it; run before the list
// is released, so the table never points at freed entries.
void closeOpenDevicesOfList(int32_t listId);
