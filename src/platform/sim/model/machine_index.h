// What the simulated services look up in the installed machine: the object
// a path opens, the device nodes in enumeration order with their
// interfaces, and the USB address of each device. Held under the machine
// lock (see machine_store.h).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/model/machine.h"

namespace sim {

enum class TargetKind { Controller, Hub, Device, HidInterface };

// An object of the machine that a path opens.
struct Target {
    TargetKind kind = TargetKind::Device;
    std::string identity;  // stable across machine replacements while the object stays
    HostController* controller = nullptr;
    Hub* hub = nullptr;
    Device* device = nullptr;  // a device; for a hub on a port, the device that is the hub
    HidInterface* hid = nullptr;
    uint32_t openError() const;
};

// A device node and the interfaces it exposes, in SetupAPI order.
struct IndexedNode {
    const DevNode* node = nullptr;
    std::vector<std::pair<platform::Guid, const InterfaceAnswer*>> interfaces;
};

struct MachineIndex {
    std::map<std::string, Target> byPath;  // normalised path -> object
    std::vector<IndexedNode> nodes;
    std::map<const Device*, uint16_t> addresses;

    void rebuild(Machine& machine);
    const Target* find(const std::string& path) const;
    const Target* findIdentity(const std::string& identity) const;
};

// Paths are compared case-insensitively, and "\\.\" and "\\?\" lead to the
// same place.
std::string normalisePath(const std::string& path);

}  // namespace sim
