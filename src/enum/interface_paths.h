// Interface detail records and the interface paths they carry, as the walk
// reads them for host controllers, the interface lists and HID interfaces.
#pragma once

#include <cstdint>

#include "platform/types.h"

// A zero-filled SP_DEVICE_INTERFACE_DETAIL_DATA_W from the process heap for a
// detail answer of the reported size, with cbSize set to 8. The block is at
// least as large as the fixed part and has one zero code unit beyond the
// reported size, so DevicePath always ends inside it whatever the system
// reported. Null when the block cannot be had or the reported size is beyond
// any real interface path. Released with platform::HeapFreeBlock.
platform::SpDeviceInterfaceDetailDataW* allocateInterfaceDetail(uint32_t reportedSize);

// Largest detail answer accepted (a path of 32767 code units and more).
constexpr uint32_t kLargestInterfaceDetail = 0x10008;

// Number of code units before the terminator, when every one of them lies
// in 0x0001..0x00FF, so that the one-byte-per-unit narrowing keeps the path
// exactly; -1 otherwise. A path that narrows with loss would name some
// other file, so it is not used.
int32_t losslessNarrowLength(const char16_t* path);
