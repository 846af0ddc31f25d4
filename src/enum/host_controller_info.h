// What the walk records about each host controller it visits.
#pragma once

#include <cstdint>

#include "enum/device_properties.h"
#include "platform/types.h"

constexpr int kPowerMapSlots = 6;  // system states 101 (working) to 106 (shutdown)

// Zero-filled from the process heap. Owns driverKey, controllerInfo and
// UsbDeviceProperties.
struct HostControllerInfo {
    uint32_t infoType;  // 0: host controller
    HostControllerInfo* previous;
    HostControllerInfo* next;
    char* driverKey;
    uint32_t pciVendorId;
    uint32_t pciDeviceId;
    uint32_t pciSubsystemId;
    uint32_t pciRevision;
    platform::UsbPowerInfo powerMap[kPowerMapSlots];  // a slot stays zero when its request failed
    int32_t busDeviceFunctionValid;                    // 1 when busNumber and the address were read
    uint32_t busNumber;
    uint16_t busDevice;    // high 16 bits of the PCI address
    uint16_t busFunction;  // low 16 bits
    platform::UsbControllerInfo0* controllerInfo;
    struct UsbDeviceProperties* UsbDeviceProperties;  // the controller's SetupAPI description
};

struct HostControllerList {
    HostControllerInfo* first;
    HostControllerInfo* last;
};

// The controllers of the current walk, in the order they were visited.
extern HostControllerList hostControllerList;

void appendHostController(HostControllerList& list, HostControllerInfo* info);
// True when a record of the list has exactly this driver key name.
bool hasHostControllerDriverKey(const HostControllerList& list, const char* driverKey);
// Releases a record with everything it owns; the reference becomes null.
void releaseHostControllerInfo(HostControllerInfo*& info);
// Releases every record of the list and empties it.
void clearHostControllerList(HostControllerList& list);
