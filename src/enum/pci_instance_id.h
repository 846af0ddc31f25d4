// The PCI identity in a host controller's device instance id, such as
// "PCI\VEN_8086&DEV_A36D&SUBSYS_00000000&REV_10\3&11583659&0&A0".
#pragma once

#include <cstdint>

struct PciIds {
    uint32_t vendorId;
    uint32_t deviceId;
    uint32_t subsystemId;
    uint32_t revision;
};

// Reads the instance id as the scan format "PCI\VEN_%x&DEV_%x&SUBSYS_%x&REV_%x"
// would, into ids (which the caller zeroes). Returns how many of the four
// numbers were converted; the scan stops at the first text that does not
// match, keeping the numbers converted before it. Each number may have
// leading blanks, a sign and a "0x" prefix; one with more than eight
// significant digits keeps its low 32 bits. Never reads past the terminator.
int scanPciInstanceId(const char* instanceId, PciIds* ids);
