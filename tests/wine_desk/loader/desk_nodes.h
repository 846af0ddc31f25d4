// The simulated machine as the Wine desk's device nodes, in the order the
// bus driver takes them: each controller, its root hub, then depth first
// the devices on the hub's ports. The blob for the bus driver and the INF
// files for the installer are both written from this one list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../desk_blob.h"
#include "platform/sim/model/machine.h"

namespace desk {

struct DeskNode {
    uint32_t kind = DESK_CONTROLLER;
    int32_t parent = -1;
    uint32_t port = 0;
    uint16_t address = 0;  // devices: the USB address, given or in port order
    const sim::HostController* controller = nullptr;
    const sim::Device* device = nullptr;  // devices
    const sim::Port* onPort = nullptr;    // devices

    const sim::DevNode& devNode() const;
    const sim::Hub* hub() const;  // controllers: none
    std::string deviceId() const;
    std::string instanceId() const;
    std::vector<std::string> hardwareIds() const;
    std::vector<std::string> compatibleIds() const;
    std::string setupClass() const;   // "USB" unless the bench names another
    std::string description() const;
    std::string service() const;      // empty: none
};

std::vector<DeskNode> deskNodes(const sim::Machine& machine);

// The blob the bus driver loads.
std::vector<uint8_t> machineBlob(const std::vector<DeskNode>& nodes);

}  // namespace desk
