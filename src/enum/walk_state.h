// Process-wide state of the walk in progress, shared by the controller, hub
// and port walks. Plain globals without a lock: one walk at a time.
#pragma once

#include <cstdint>

#include "base/enumeration_result.h"

// The result being built; the port walk appends its entries here. It keeps
// pointing at the last result after the walk has handed it over.
extern EnumerationResult* currentResult;
// The vendor filter chain of the walk in progress (owned by the caller).
extern DeviceFilter* activeFilter;

// 1 when activeFilter accepts the vendor id (filterAcceptsVendor), else 0.
int vendorPassesFilter(uint16_t vendorId);

// The running number of device entries, process-wide: 1, 2, ..., 31999,
// then 1 again. Never reset by a walk.
int32_t nextSequenceNumber();

// Links the entry at the tail of currentResult's chain.
void appendToCurrentResult(DeviceEntry* entry);

// Releases what a walk keeps until the next one: the host-controller records,
// both interface lists with their device information sets, and the names of
// the hubs walked.
void releaseWalkState();
