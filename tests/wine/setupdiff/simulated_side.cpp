// The simulated side of the SetupAPI comparison: a machine holding the
// comparison's devices, and the walk's steps over it, written to the
// standard output. The argument is the interface set's flags.
#include <cstdio>
#include <cstdlib>

#include "devices.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    uint32_t interfaceFlags = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 0));
    sim::HubBuilder hub(4);
    uint32_t port = 0;
    for (const setupdiff::TestDevice& d : setupdiff::testDevices()) {
        ++port;
        hub.device(port, sim::DeviceBuilder(0x1A2B, static_cast<uint16_t>(port)).edit([&d](sim::Device& device) {
            sim::DevNode node;
            node.instanceId = d.instanceId;
            node.driver = d.driverKey;
            node.description = d.description;
            node.hardwareIds = d.hardwareIds;
            node.service = d.service;
            node.setupClass = d.setupClass;
            device.node = node;
            device.driverKey = d.driverKey;
            device.usbInterface = sim::InterfaceAnswer{};
            device.fixedClassInterface = sim::InterfaceAnswer{};
            if (d.fixedClassInterface) device.fixedClassInterface.path = setupdiff::fixedClassInterfacePath(d);
        }));
    }
    sim::installMachine(sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(hub)).build());
    std::fputs(setupdiff::runSteps(interfaceFlags).c_str(), stdout);
    return 0;
}
