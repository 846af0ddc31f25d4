// The caller's session with the library: the access handle, the lists made
// under it and the devices opened from them. Each function answers as the
// native method of the same name does; jni/ only adapts Java's arguments.
#pragma once

#include <cstdint>

#include "base/device_entry.h"

namespace Session {

// Loads WinUSB and starts the monitor, then hands out the access handle (0);
// AlreadyInitialized while one is in force, or what the initialisation failed with.
int32_t initialize();
// Takes the access handle back: Success, or BadHandle for any other value.
int32_t release(int32_t handle);

// The list of the vendor (new or reused), or BadHandle.
int32_t createList(int32_t handle, int32_t vendorFilter);
// Releases a list, closing first every device still open from it.
int32_t releaseList(int32_t listId);
// The number of entries of a list (0 for a list that does not exist).
int32_t countEntries(int32_t listId);
// Walks the machine again and brings the list up to date: Success,
// ListNotFound or NoLists.
int32_t updateList(int32_t listId);
// The entry at an index of a list, or null.
const DeviceEntry* entryAt(int32_t listId, int32_t index);
// The first entry whose presence changed since it was last reported, now
// marked reported; null when there is nothing to report.
const DeviceEntry* takeChange(int32_t listId, int32_t selector);

// Opens a listed device and records it as open: Success, NoSuchDevice or
// what the open failed with.
int32_t openDevice(int32_t listId, int32_t index);
// Closes an open device and forgets it: NoSuchDevice when it is not open.
int32_t closeDevice(int32_t listId, int32_t index);
// The device opened under (listId, index), for the operations on it; null
// when it is not open.
DeviceEntry* openedDevice(int32_t listId, int32_t index);

}  // namespace Session
