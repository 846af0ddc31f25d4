// Simulated machines of a chosen size for the benchmarks.
#pragma once

#include <string>

#include "platform/sim/model/machine_builder.h"

namespace perfmachines {

constexpr uint16_t kVendor = 0x1A2B;

// n devices on external hubs of four ports below one root hub, WinUSB and
// HID devices in turn (odd product ids WinUSB, even ones HID).
inline sim::Machine machineOf(int n) {
    int hubs = (n + 3) / 4;
    sim::HubBuilder root(static_cast<uint8_t>(hubs + 1));
    for (int hub = 0; hub < hubs; ++hub) {
        sim::HubBuilder ports(4);
        for (int port = 0; port < 4 && hub * 4 + port < n; ++port) {
            uint16_t product = static_cast<uint16_t>(hub * 4 + port + 1);
            std::string serial = "SN" + std::to_string(product);
            sim::DeviceBuilder device(kVendor, product);
            if (product % 2 == 0)
                device.strings("Maker", "Pad", serial).hid();
            else
                device.strings("Maker", "Loop", serial).winUsb();
            ports.device(port + 1, device);
        }
        root.device(hub + 1, sim::DeviceBuilder(0x2C3D, 0x4100).hub(ports));
    }
    return sim::MachineBuilder().controller(sim::ControllerBuilder().rootHub(root)).build();
}

}  // namespace perfmachines
