// What the port walk gathers about the device on one hub port.
#pragma once

#include "enum/descriptor_requests.h"
#include "enum/device_properties.h"
#include "enum/interface_lists.h"
#include "enum/string_descriptors.h"
#include "platform/types.h"

// Owned by the port walk and released when the port is finished, except
// interfaceNode, which belongs to its interface list.
struct PortData {
    platform::UsbNodeConnectionInformationEx* connection;  // 365 bytes, zero-filled before the request
    UsbDeviceProperties* properties;                       // from the driver key name, or null
    InterfaceNode* interfaceNode;                          // from the driver key name, or null
    DescriptorRequest* configuration;                      // configuration 0, or null
    DescriptorRequest* bos;                                // or null
    StringDescriptorNode* strings;                         // language list first, or null
};

void releasePortData(PortData& port);

// Builds the entry for the device on the port. It is appended to
// currentResult when the device has a driver service, and discarded
// otherwise (its sequence number stays used).
void buildDeviceEntry(const PortData& port);
