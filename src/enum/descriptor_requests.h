// Configuration and BOS descriptors of a device, read through the hub it
// sits on with the descriptor request of the hub driver.
#pragma once

#include <cstdint>

#include "platform/types.h"

// A descriptor request buffer: the 12-byte header (ConnectionIndex and the
// setup packet), then the descriptor. A configuration or BOS result is one
// whole request from the process heap; the caller releases it with
// releaseDescriptorRequest. Its setup packet's wLength is the number of
// descriptor bytes held behind the header.
using DescriptorRequest = platform::UsbDescriptorRequest;

// The full configuration descriptor of the device on the port, or null.
DescriptorRequest* getConfigDescriptor(platform::Handle hub, uint32_t port, uint8_t configurationIndex);
// The full BOS descriptor of the device on the port, or null.
DescriptorRequest* getBosDescriptor(platform::Handle hub, uint32_t port);

void releaseDescriptorRequest(DescriptorRequest*& request);

// The descriptor bytes of a request and how many of them can be read: the
// descriptor's own wTotalLength, but never more than the request holds.
const uint8_t* descriptorBytes(const DescriptorRequest* request);
uint32_t descriptorScanLength(const DescriptorRequest* request);

// Sends a descriptor request of size bytes (header included) to the hub.
bool sendDescriptorRequest(platform::Handle hub, void* request, uint32_t size, uint32_t* bytesReturned);
