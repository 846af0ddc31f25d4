#include "platform/sim/life/arrival.h"

#include <atomic>
#include <functional>
#include <set>
#include <string>

#include "platform/sim/io/scheduler.h"

namespace sim {
namespace {

// A HID class driver that has just started its collection answers string
// requests only once the device has been read (its minidriver fails
// IOCTL_HID_GET_STRING meanwhile: STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE).
constexpr uint32_t kStringsNotReadyError = platform::kErrorGenFailure;

void forEachDevice(std::vector<Port>& ports, const std::function<void(Device&)>& visit) {
    for (Port& port : ports) {
        if (!port.device) continue;
        visit(*port.device);
        if (port.device->isHub) forEachDevice(port.device->hub.ports, visit);
    }
}

void forEachDevice(Machine& machine, const std::function<void(Device&)>& visit) {
    for (HostController& c : machine.controllers) forEachDevice(c.rootHub.ports, visit);
}

std::string identityOf(const Device& d) {
    return d.usbInterface.path.empty() ? d.fixedClassInterface.path : d.usbInterface.path;
}

// Runs the change on the device still coming up under this stage, if the
// machine still holds it.
void laterOnDevice(MachineChange changeMachine, uint32_t delayMs, uint64_t stage,
                   std::function<void(Device&)> change) {
    runLater(delayMs, [changeMachine, stage, change] {
        changeMachine([&](Machine& machine) {
            forEachDevice(machine, [&](Device& d) {
                if (d.arrivalStage == stage) change(d);
            });
        });
    });
}

void failStringsFor(MachineChange changeMachine, Device& d, uint64_t stage) {
    if (d.arrival.hidStringsFailForMs == 0 || d.hidInterfaces.empty()) {
        d.arrivalStage = 0;
        return;
    }
    for (HidInterface& h : d.hidInterfaces)
        if (h.stringsError == 0) h.stringsError = kStringsNotReadyError;
    laterOnDevice(changeMachine, d.arrival.hidStringsFailForMs, stage, [](Device& later) {
        for (HidInterface& h : later.hidInterfaces)
            if (h.stringsError == kStringsNotReadyError) h.stringsError = 0;
        later.arrivalStage = 0;
    });
}

}  // namespace

void stageArrivals(const Machine& before, Machine& after, MachineChange change) {
    static std::atomic<uint64_t> nextStage{1};
    std::set<std::string> known;
    forEachDevice(const_cast<Machine&>(before), [&](Device& d) { known.insert(identityOf(d)); });
    forEachDevice(after, [&](Device& d) {
        if (d.arrivalStage != 0 || known.count(identityOf(d)) != 0) return;
        if (d.arrival.interfacesAfterMs == 0 && d.arrival.hidStringsFailForMs == 0) return;
        uint64_t stage = nextStage++;
        d.arrivalStage = stage;
        if (d.arrival.interfacesAfterMs == 0) {
            failStringsFor(change, d, stage);
            return;
        }
        std::vector<HidInterface> hid = std::move(d.hidInterfaces);
        InterfaceAnswer fixedClass = d.fixedClassInterface;
        d.hidInterfaces.clear();
        d.fixedClassInterface.path.clear();
        laterOnDevice(change, d.arrival.interfacesAfterMs, stage, [change, hid, fixedClass, stage](Device& later) {
            later.hidInterfaces = hid;
            later.fixedClassInterface = fixedClass;
            failStringsFor(change, later, stage);
        });
    });
}

}  // namespace sim
