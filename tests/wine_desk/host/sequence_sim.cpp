// The comparison's sequence through the same 19 methods linked over the
// simulated stack: the bench TAMBERLYX_BENCH names, or the built-in one.
#include "jni/exports.h"
#include "listing.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "sequence.h"

int main() {
    TamberlyxDll linked;
#define BIND(name) linked.name = &TAMBERLYX_METHOD(name)
    BIND(usbInitialize);
    BIND(usbRelease);
    BIND(usbCreateDeviceList);
    BIND(usbUpdateDeviceList);
    BIND(usbReleaseDeviceList);
    BIND(usbGetDeviceListCount);
    BIND(usbGetDeviceInfo);
    BIND(usbGetChangeInfo);
    BIND(usbOpenDevice);
    BIND(usbCloseDevice);
    BIND(usbGetDeviceDescriptor);
#undef BIND
    sim::Machine machine = sim::machineCopy();
    DeskHands hands{[&machine](const std::vector<uint32_t>& location, bool present) {
                        sim::Port* port = sim::findPort(machine, location);
                        if (!present) return sim::unplugDevice(location);
                        return port != nullptr && port->device && sim::plugDevice(location, *port->device);
                    }};
    return runSequence(linked, machine, hands);
}
