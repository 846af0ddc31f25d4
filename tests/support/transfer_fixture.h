// Machines for the tests of devices that move data: one WinUSB device on
// port 1 and one HID device on port 2 of a single controller.
#pragma once

#include <string>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"

namespace testsupport {

inline sim::Machine twoDeviceMachine(const sim::HidBehaviour& hid = sim::HidBehaviour()) {
    return sim::MachineBuilder()
        .controller(sim::ControllerBuilder().rootHub(
            sim::HubBuilder(4)
                .device(1, sim::DeviceBuilder(0x1A2B, 0x0001).strings("Maker", "Loop", "SN1").winUsb())
                .device(2, sim::DeviceBuilder(0x1A2B, 0x0002)
                               .strings("Maker", "Pad", "SN2")
                               .hid()
                               .edit([hid](sim::Device& d) { d.hidInterfaces[0].behaviour = hid; }))))
        .build();
}

inline std::string winUsbPath(sim::Machine& m) { return sim::findDevice(m, 0x1A2B, 0x0001)->usbInterface.path; }
inline std::string hidPath(sim::Machine& m) {
    return sim::findDevice(m, 0x1A2B, 0x0002)->hidInterfaces[0].interface.path;
}

// Installs a fresh machine of the two devices and clears faults and misuse
// reports.
struct TwoDeviceMachine {
    sim::Machine machine;
    std::string winUsb;
    std::string hid;
    explicit TwoDeviceMachine(const sim::HidBehaviour& behaviour = sim::HidBehaviour()) : machine(twoDeviceMachine(behaviour)) {
        sim::clearFaults();
        sim::clearMisuseReports();
        winUsb = winUsbPath(machine);
        hid = hidPath(machine);
        sim::installMachine(machine);
    }
};

}  // namespace testsupport
