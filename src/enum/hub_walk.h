// The walk of one hub and, depth-first, of every hub below it. Each device
// on a port that passes the vendor filter and has a driver service becomes a
// DeviceEntry at the tail of currentResult.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// The name of the host controller's root hub (narrow, process heap, without
// the "\\.\" prefix), or null.
char* getRootHubName(platform::Handle hostController);

// The name of the external hub on a port (narrow, process heap), or null.
char* getExternalHubName(platform::Handle hub, uint32_t port);

// Opens "\\.\" + hubName and walks its ports. Takes hubName (a process-heap
// text of length characters) and releases it on every path.
void enumerateHub(char* hubName, size_t length);

// What the trace shows of a hub walked by name.
struct NamedHubTrace {
    const char* noName;       // the name could not be had
    const char* nameTooLong;  // the name has kHubNameMaximum characters or more
    const char* walked;
};

constexpr size_t kHubNameMaximum = 256;

// Walks the hub of that name (as getRootHubName or getExternalHubName give
// it; null when there was none). Takes the name and releases it.
void walkNamedHub(char* hubName, const NamedHubTrace& trace);

// Walks ports 1 to portCount of an open hub, in increasing order.
void enumerateHubPorts(platform::Handle hub, uint8_t portCount);
