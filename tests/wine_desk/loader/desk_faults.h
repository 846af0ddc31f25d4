// The bench's answer faults as the Wine desk's bus driver serves them, and
// the ones no driver can serve.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desk_nodes.h"

namespace desk {

// The NTSTATUS a driver completes a request with so that the caller sees
// the Win32 error given; false when no status carries it.
bool statusForError(uint32_t error, uint32_t* status);

struct FaultItem {
    uint32_t type;  // DESK_ITEM_FAULT, DESK_ITEM_DESCRIPTOR_FAULT or DESK_ITEM_DESCRIPTOR_LATER
    uint32_t key;
    std::vector<uint8_t> bytes;
};

// The fault items of one node: what makes its requests fail or lie.
std::vector<FaultItem> faultItems(const DeskNode& node);

// Every fault of the bench the desk cannot serve, each with where it is:
// SetupAPI answers (Wine's SetupAPI answers from the device nodes as they
// are), HID answers of Wine's HID class driver, other programs' opens, the
// timing of a device coming up, and error codes no NTSTATUS carries.
std::vector<std::string> unservedFaults(const sim::Machine& machine);

}  // namespace desk
