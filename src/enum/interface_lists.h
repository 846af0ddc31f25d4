// The per-walk lists of present hub and device interfaces, each node with
// the interface path and the driver key name of its device, so that the
// port walk can find a device's path by its driver key.
#pragma once

#include <cstdint>

#include "platform/types.h"

// One present device interface, zero-filled from the process heap. In a
// list only with all three owned fields.
struct InterfaceNode {
    platform::DevInfoSet deviceInfoSet;  // the list's set (not owned)
    InterfaceNode* next;
    platform::SpDevinfoData deviceInfoData;            // cbSize 32
    platform::SpDeviceInterfaceData deviceInterfaceData;  // cbSize 32
    platform::SpDeviceInterfaceDetailDataW* interfaceDetail;  // owned; DevicePath, always terminated
    char* deviceDesc;  // owned; SPDRP_DEVICEDESC
    char* driverName;  // owned; SPDRP_DRIVER, the driver key name
};

struct InterfaceList {
    platform::DevInfoSet deviceInfoSet;  // invalid while the list has none
    InterfaceNode* first;
    InterfaceNode* last;
};

// Interfaces of the USB device class (or of the fixed class when the
// configuration file asks for it) and of the hub class. Valid until the
// next walk clears them.
extern InterfaceList deviceInterfaceList;
extern InterfaceList hubInterfaceList;

// Builds both lists, choosing the device class from the configuration file.
void buildInterfaceLists();
// Lists the present interfaces of the class, in enumeration order, up to
// the first interface that cannot be fully described.
void buildInterfaceList(InterfaceList& list, const platform::Guid& interfaceClass);
// Destroys the list's set and releases its nodes.
void clearInterfaceList(InterfaceList& list);
// Releases a node and what it owns; the reference becomes null.
void releaseInterfaceNode(InterfaceNode*& node);

// The first node of the hub list (isHub nonzero) or of the device list
// whose driver name equals driverKey, ignoring the case of ASCII letters;
// null when there is none. The node stays owned by its list.
InterfaceNode* findInterfaceNode(const char* driverKey, uint8_t isHub);
