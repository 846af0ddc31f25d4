#include "platform/sim/devices/device_runtime.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/sim/model/machine_store.h"
#include "platform/sim/model/text.h"

namespace sim {
namespace {

struct Runtime {
    std::mutex lock;
    std::map<std::string, std::shared_ptr<WinUsbDevice>> winUsb;  // by target identity
    std::map<std::string, std::shared_ptr<HidDevice>> hid;
};

Runtime& runtime() {
    static Runtime* r = new Runtime;
    return *r;
}

std::shared_ptr<WinUsbDevice> winUsbFor(const Target& target) {
    if (target.kind != TargetKind::Device || target.device == nullptr || !drivenByWinUsb(*target.device))
        return nullptr;
    Runtime& r = runtime();
    std::lock_guard<std::mutex> guard(r.lock);
    auto& device = r.winUsb[target.identity];
    if (!device) device = std::make_shared<WinUsbDevice>(*target.device);
    return device;
}

std::shared_ptr<HidDevice> hidFor(const Target& target) {
    if (target.kind != TargetKind::HidInterface || target.hid == nullptr) return nullptr;
    Runtime& r = runtime();
    std::lock_guard<std::mutex> guard(r.lock);
    auto& device = r.hid[target.identity];
    if (!device) device = std::make_shared<HidDevice>(target.hid->behaviour);
    return device;
}

}  // namespace

bool drivenByWinUsb(const Device& device) { return device.node.service && equalsNoCase(*device.node.service, "WinUSB"); }

std::shared_ptr<FileEndpoint> endpointFor(const Target& target) {
    if (auto device = winUsbFor(target)) return std::make_shared<WinUsbInterfaceFile>(device);
    if (auto device = hidFor(target)) return device->openEndpoint();
    return nullptr;
}

void syncDeviceRuntime(Machine& machine) {
    MachineIndex index;
    index.rebuild(machine);
    std::vector<std::shared_ptr<WinUsbDevice>> goneWinUsb;
    std::vector<std::shared_ptr<HidDevice>> goneHid;
    Runtime& r = runtime();
    {
        std::lock_guard<std::mutex> guard(r.lock);
        for (auto it = r.winUsb.begin(); it != r.winUsb.end();) {
            const Target* target = index.findIdentity(it->first);
            if (target != nullptr && target->device != nullptr && drivenByWinUsb(*target->device)) {
                it->second->update(*target->device);
                ++it;
            } else {
                goneWinUsb.push_back(it->second);
                it = r.winUsb.erase(it);
            }
        }
        for (auto it = r.hid.begin(); it != r.hid.end();) {
            const Target* target = index.findIdentity(it->first);
            if (target != nullptr && target->hid != nullptr) {
                it->second->setBehaviour(target->hid->behaviour);
                ++it;
            } else {
                goneHid.push_back(it->second);
                it = r.hid.erase(it);
            }
        }
    }
    for (const auto& device : goneWinUsb) device->unplug();
    for (const auto& device : goneHid) device->unplug();
}

std::shared_ptr<WinUsbDevice> winUsbDeviceAt(const std::string& interfacePath) {
    LockedMachine locked;
    const Target* target = locked.index().find(interfacePath);
    return target == nullptr ? nullptr : winUsbFor(*target);
}

std::shared_ptr<HidDevice> hidDeviceAt(const std::string& hidPath) {
    LockedMachine locked;
    const Target* target = locked.index().find(hidPath);
    return target == nullptr ? nullptr : hidFor(*target);
}

}  // namespace sim
