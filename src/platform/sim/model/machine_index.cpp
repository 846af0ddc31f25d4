#include "platform/sim/model/machine_index.h"

#include <functional>

#include "platform/sim/model/text.h"

namespace sim {

uint32_t Target::openError() const {
    switch (kind) {
        case TargetKind::Controller: return controller->openError;
        case TargetKind::Hub: return hub->openError;
        case TargetKind::Device: return device->openError;
        case TargetKind::HidInterface: return hid->openError;
    }
    return 0;
}

std::string normalisePath(const std::string& path) {
    std::string out = lowerAscii(path);
    if (out.rfind("\\\\.\\", 0) == 0) out[2] = '?';
    return out;
}

void MachineIndex::rebuild(Machine& machine) {
    byPath.clear();
    nodes.clear();
    addresses.clear();

    // The first object named by a path keeps it.
    auto addPath = [this](const std::string& path, const Target& target) {
        if (!path.empty()) byPath.emplace(normalisePath(path), target);
    };
    auto addNode = [this](const DevNode& node, std::vector<std::pair<platform::Guid, const InterfaceAnswer*>> ifs) {
        IndexedNode entry;
        entry.node = &node;
        for (auto& i : ifs)
            if (!i.second->path.empty()) entry.interfaces.push_back(i);
        nodes.push_back(entry);
    };

    for (HostController& c : machine.controllers) {
        Target controller;
        controller.kind = TargetKind::Controller;
        controller.controller = &c;
        controller.identity = "controller:" + normalisePath(c.interface.path);
        addPath(c.interface.path, controller);
        addNode(c.node, {{platform::kGuidDevinterfaceUsbHostController, &c.interface}});

        Target root;
        root.kind = TargetKind::Hub;
        root.controller = &c;
        root.hub = &c.rootHub;
        root.identity = "hub:" + normalisePath("\\\\?\\" + c.rootHub.name);
        if (!c.rootHub.name.empty()) addPath("\\\\?\\" + c.rootHub.name, root);
        addPath(c.rootHub.interface.path, root);
        addNode(c.rootHubNode, {{platform::kGuidDevinterfaceUsbHub, &c.rootHub.interface}});

        uint16_t nextAddress = 1;
        std::function<void(std::vector<Port>&)> walk = [&](std::vector<Port>& ports) {
            for (Port& port : ports) {
                if (!port.device) continue;
                Device& d = *port.device;
                addresses[&d] = d.address != 0 ? d.address : nextAddress;
                ++nextAddress;

                Target device;
                device.controller = &c;
                device.device = &d;
                if (d.isHub) {
                    device.kind = TargetKind::Hub;
                    device.hub = &d.hub;
                    device.identity = "hub:" + normalisePath("\\\\?\\" + d.hub.name);
                    if (!d.hub.name.empty()) addPath("\\\\?\\" + d.hub.name, device);
                    addPath(d.hub.interface.path, device);
                } else {
                    device.kind = TargetKind::Device;
                    const std::string& primary =
                        d.usbInterface.path.empty() ? d.fixedClassInterface.path : d.usbInterface.path;
                    device.identity = "device:" + normalisePath(primary);
                }
                addPath(d.usbInterface.path, device);
                addPath(d.fixedClassInterface.path, device);
                std::vector<std::pair<platform::Guid, const InterfaceAnswer*>> ifs = {
                    {platform::kGuidDevinterfaceUsbDevice, &d.usbInterface}, {platform::kGuidFixedDeviceInterfaceClass, &d.fixedClassInterface}};
                if (d.isHub) ifs.push_back({platform::kGuidDevinterfaceUsbHub, &d.hub.interface});
                addNode(d.node, ifs);

                for (HidInterface& h : d.hidInterfaces) {
                    Target hid;
                    hid.kind = TargetKind::HidInterface;
                    hid.controller = &c;
                    hid.device = &d;
                    hid.hid = &h;
                    hid.identity = "hid:" + normalisePath(h.interface.path);
                    addPath(h.interface.path, hid);
                    addNode(h.node, {{platform::kGuidDevinterfaceHid, &h.interface}});
                }
                if (d.isHub) walk(d.hub.ports);
            }
        };
        walk(c.rootHub.ports);
    }
    for (DevNode& node : machine.otherDevices) addNode(node, {});
}

const Target* MachineIndex::find(const std::string& path) const {
    auto it = byPath.find(normalisePath(path));
    return it == byPath.end() ? nullptr : &it->second;
}

const Target* MachineIndex::findIdentity(const std::string& identity) const {
    for (const auto& entry : byPath)
        if (entry.second.identity == identity) return &entry.second;
    return nullptr;
}

}  // namespace sim
