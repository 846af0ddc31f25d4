#include "platform/sim/life/machine_changes.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/devices/device_runtime.h"
#include "platform/sim/model/machine_index.h"
#include "platform/sim/model/text.h"

namespace sim {
namespace {

// The interfaces a machine exposes: normalised path -> (class, path).
using InterfaceSet = std::map<std::string, std::pair<platform::Guid, std::string>>;

InterfaceSet interfacesOf(const MachineIndex& index) {
    InterfaceSet set;
    for (const IndexedNode& node : index.nodes)
        for (const auto& entry : node.interfaces)
            set.emplace(normalisePath(entry.second->path), std::make_pair(entry.first, entry.second->path));
    return set;
}

// What a device brings beside its interfaces, announced to every top-level
// window: a stick's storage driver (service "USBSTOR") mounts one volume
// under a drive letter, the USB serial driver ("usbser") makes a COM port.
// As Windows remembers a device's drive letter (the mount manager's
// MountedDevices) and COM number (the ports database), a device keeps what
// it was given when it comes back; a new one gets the next after those
// given: letters from D: (C: is the system's), ports from COM1.
struct Given {
    const char* service;
    uint32_t first, last;
    void (*announce)(uint32_t event, uint32_t number);
    std::map<std::string, uint32_t> byInstance;
};

Given volumes{"USBSTOR", 3, 25, [](uint32_t event, uint32_t letter) { broadcastVolumeChange(event, 1u << letter); }, {}};
Given ports{"usbser", 1, 256,
            [](uint32_t event, uint32_t number) { broadcastPortChange(event, "COM" + std::to_string(number)); }, {}};

// Instance id -> number, for the devices of a machine that bring one.
std::map<std::string, uint32_t> numbersOf(const MachineIndex& index, Given& given) {
    std::map<std::string, uint32_t> found;
    for (const IndexedNode& node : index.nodes) {
        const DevNode& n = *node.node;
        if (!n.service || !n.instanceId || !equalsNoCase(*n.service, given.service)) continue;
        auto known = given.byInstance.find(*n.instanceId);
        if (known == given.byInstance.end()) {
            uint32_t number = given.first;
            for (const auto& entry : given.byInstance) number = std::max(number, entry.second + 1);
            if (number > given.last) continue;  // none left: nothing is announced
            known = given.byInstance.emplace(*n.instanceId, number).first;
        }
        found.emplace(known->first, known->second);
    }
    return found;
}

// Announces what went (before the interfaces go) or what came (after they
// came); true when anything was announced.
bool announceChanges(Given& given, const std::map<std::string, uint32_t>& from,
                     const std::map<std::string, uint32_t>& to, uint32_t event) {
    bool any = false;
    for (const auto& entry : from)
        if (to.count(entry.first) == 0) {
            given.announce(event, entry.second);
            any = true;
        }
    return any;
}

}  // namespace

void machineChanged(Machine& before, Machine& after) {
    syncDeviceRuntime(after);
    MachineIndex was, is;
    was.rebuild(before);
    is.rebuild(after);
    InterfaceSet went = interfacesOf(was);
    InterfaceSet came = interfacesOf(is);
    std::map<std::string, uint32_t> volumesBefore = numbersOf(was, volumes), volumesAfter = numbersOf(is, volumes);
    std::map<std::string, uint32_t> portsBefore = numbersOf(was, ports), portsAfter = numbersOf(is, ports);
    bool changed = announceChanges(volumes, volumesBefore, volumesAfter, platform::kDbtDeviceRemoveComplete);
    changed |= announceChanges(ports, portsBefore, portsAfter, platform::kDbtDeviceRemoveComplete);
    for (const auto& entry : went) {
        if (came.count(entry.first) != 0) continue;
        broadcastDeviceInterfaceChange(platform::kDbtDeviceRemoveComplete, entry.second.first, entry.second.second);
        changed = true;
    }
    for (const auto& entry : came) {
        if (went.count(entry.first) != 0) continue;
        broadcastDeviceInterfaceChange(platform::kDbtDeviceArrival, entry.second.first, entry.second.second);
        changed = true;
    }
    changed |= announceChanges(volumes, volumesAfter, volumesBefore, platform::kDbtDeviceArrival);
    changed |= announceChanges(ports, portsAfter, portsBefore, platform::kDbtDeviceArrival);
    if (changed) broadcastDevNodesChanged();
}

}  // namespace sim
