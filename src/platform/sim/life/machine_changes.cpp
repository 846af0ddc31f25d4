#include "platform/sim/life/machine_changes.h"

#include <map>
#include <string>
#include <utility>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/devices/device_runtime.h"
#include "platform/sim/model/machine_index.h"

namespace sim {
namespace {

// The interfaces a machine exposes: normalised path -> (class, path).
using InterfaceSet = std::map<std::string, std::pair<platform::Guid, std::string>>;

InterfaceSet interfacesOf(Machine& machine) {
    MachineIndex index;
    index.rebuild(machine);
    InterfaceSet set;
    for (const IndexedNode& node : index.nodes)
        for (const auto& entry : node.interfaces)
            set.emplace(normalisePath(entry.second->path), std::make_pair(entry.first, entry.second->path));
    return set;
}

}  // namespace

void machineChanged(Machine& before, Machine& after) {
    syncDeviceRuntime(after);
    InterfaceSet went = interfacesOf(before);
    InterfaceSet came = interfacesOf(after);
    bool changed = false;
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
    if (changed) broadcastDevNodesChanged();
}

}  // namespace sim
