// The bench writer against the machine model, field by field: a machine
// with every field the writer claims to write set away from its default is
// written and read back, and each field is compared with the original, as
// the model holds it, not as the writer spells it (a field the writer drops
// would be missing from both of its own outputs alike).
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/model/bench.h"
#include "tools/bench/bench_writer.h"

namespace {

std::string bytes(const std::vector<uint8_t>& data) {
    std::string out;
    char pair[4];
    for (uint8_t b : data) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        out += pair;
    }
    return out;
}

std::string text(const std::optional<std::string>& value) { return value ? "\"" + *value + "\"" : "-"; }

// One line per field the writer claims to write, named by where it lies.
class Description {
public:
    std::vector<std::string> lines;

    void field(const std::string& where, const std::string& name, const std::string& value) {
        lines.push_back(where + "." + name + "=" + value);
    }
    void number(const std::string& where, const std::string& name, uint64_t value) {
        field(where, name, std::to_string(value));
    }

    void node(const std::string& where, const sim::DevNode& n) {
        field(where, "description", text(n.description));
        field(where, "setupClass", text(n.setupClass));
        field(where, "service", text(n.service));
        field(where, "instanceId", text(n.instanceId));
        std::string ids;
        for (const std::string& id : n.hardwareIds) ids += id + ";";
        field(where, "hardwareIds", ids);
        number(where, "enumError", n.enumError);
        number(where, "instanceIdError", n.instanceIdError);
        for (const auto& error : n.propertyErrors) number(where, "propertyError" + std::to_string(error.first), error.second);
    }

    void interface(const std::string& where, const sim::InterfaceAnswer& i) {
        field(where, "path", i.path);
        number(where, "enumError", i.enumError);
        number(where, "sizeQueryError", i.sizeQueryError);
        number(where, "detailError", i.detailError);
    }

    void held(const std::string& where, const std::optional<sim::OtherProgramOpen>& open) {
        field(where, "heldOpen", open ? std::to_string(open->access) + "/" + std::to_string(open->shareMode) : "-");
    }

    void answer(const std::string& where, const sim::DescriptorAnswer& a) {
        field(where, "bytes", bytes(a.bytes));
        number(where, "failWith", a.failWith);
    }

    void hub(const std::string& where, const sim::Hub& h) {
        number(where, "ports", h.ports.size());
        field(where, "name", h.name);
        field(where, "interfacePath", h.interface.path);
        number(where, "superSpeed", h.superSpeed);
        number(where, "busPowered", h.busPowered);
        number(where, "openError", h.openError);
        number(where, "nodeInfoError", h.nodeInfoError);
        field(where, "reportedPortCount", h.reportedPortCount ? std::to_string(*h.reportedPortCount) : "-");
        for (size_t i = 0; i < h.ports.size(); ++i) port(where + ".port" + std::to_string(i + 1), h.ports[i]);
    }

    void port(const std::string& where, const sim::Port& p) {
        field(where, "connectionStatus", p.connectionStatus ? std::to_string(*p.connectionStatus) : "-");
        number(where, "connectionInfoExError", p.connectionInfoExError);
        number(where, "connectionInfoError", p.connectionInfoError);
        number(where, "driverKeyFailWith", p.driverKeyAnswer.failWith);
        number(where, "nodeNameFailWith", p.nodeNameAnswer.failWith);
        if (p.device) device(where + ".device", *p.device);
    }

    void device(const std::string& where, const sim::Device& d) {
        const auto* raw = reinterpret_cast<const uint8_t*>(&d.descriptor);
        field(where, "descriptor", bytes(std::vector<uint8_t>(raw, raw + sizeof d.descriptor)));
        number(where, "speed", static_cast<uint64_t>(d.speed));
        number(where, "address", d.address);
        if (!d.configurations.empty()) answer(where + ".configuration", d.configurations[0]);
        if (d.bos) answer(where + ".bos", *d.bos);
        if (d.languages) answer(where + ".languages", *d.languages);
        for (const auto& byIndex : d.strings)
            for (const auto& byLanguage : byIndex.second)
                answer(where + ".string" + std::to_string(byIndex.first) + "/" + std::to_string(byLanguage.first),
                       byLanguage.second);
        node(where + ".node", d.node);
        field(where, "driverKey", d.driverKey);
        interface(where + ".usbInterface", d.usbInterface);
        number(where, "fixedClassInterface", !d.fixedClassInterface.path.empty());
        number(where, "openError", d.openError);
        number(where, "isHub", d.isHub);
        held(where, d.heldOpen);
        number(where, "interfacesAfterMs", d.arrival.interfacesAfterMs);
        number(where, "hidStringsFailForMs", d.arrival.hidStringsFailForMs);
        number(where, "vendorControlEcho", d.winUsb.vendorControlEcho);
        for (const sim::PipeBehaviour& p : d.winUsb.pipes)
            field(where, "pipe" + std::to_string(p.pipe),
                  std::to_string(static_cast<int>(p.kind)) + ">" + std::to_string(p.pairedPipe) + "/" +
                      std::to_string(p.delayMs));
        if (d.isHub) hub(where + ".hub", d.hub);
        for (size_t i = 0; i < d.hidInterfaces.size(); ++i) {
            const sim::HidInterface& h = d.hidInterfaces[i];
            std::string at = where + ".hid" + std::to_string(i);
            number(at, "vendorId", h.vendorId);
            number(at, "productId", h.productId);
            number(at, "version", h.versionNumber);
            field(at, "manufacturer", text(h.manufacturer));
            field(at, "product", text(h.product));
            field(at, "serialNumber", text(h.serialNumber));
            interface(at + ".interface", h.interface);
            node(at + ".node", h.node);
            field(at, "driver", text(h.node.driver));
            number(at, "openError", h.openError);
            number(at, "attributesError", h.attributesError);
            number(at, "reports", static_cast<uint64_t>(h.behaviour.kind));
            number(at, "inputReportLength", h.behaviour.inputReportLength);
            number(at, "outputReportLength", h.behaviour.outputReportLength);
            number(at, "featureReportLength", h.behaviour.featureReportLength);
            field(at, "reportIds", bytes(h.behaviour.reportIds));
            number(at, "keyboardOrMouse", h.keyboardOrMouse);
            held(at, h.heldOpen);
        }
    }

    void controller(const std::string& where, const sim::HostController& c) {
        node(where + ".node", c.node);
        field(where, "busNumber", c.node.busNumber ? std::to_string(*c.node.busNumber) : "-");
        field(where, "address", c.node.address ? std::to_string(*c.node.address) : "-");
        field(where, "driverKey", c.driverKey);
        interface(where + ".interface", c.interface);
        number(where, "openError", c.openError);
        number(where, "driverKeyFailWith", c.driverKeyAnswer.failWith);
        number(where, "rootHubNameFailWith", c.rootHubNameAnswer.failWith);
        for (size_t i = 0; i < c.powerMap.size(); ++i) number(where, "powerMap" + std::to_string(i), c.powerMap[i].failWith);
        number(where, "controllerInfoFailWith", c.controllerInfo.failWith);
        node(where + ".rootHubNode", c.rootHubNode);
        field(where, "rootHubNode.driver", text(c.rootHubNode.driver));
        hub(where + ".rootHub", c.rootHub);
    }
};

std::vector<std::string> describe(const sim::Machine& m) {
    Description d;
    for (size_t i = 0; i < m.controllers.size(); ++i) d.controller("controller" + std::to_string(i), m.controllers[i]);
    d.number("winusbDll", "present", m.winUsbLibrary.present);
    for (const std::string& name : m.winUsbLibrary.missingEntryPoints) d.field("winusbDll", "missing", name);
    return d.lines;
}

// The built-in bench with every field the writer writes set away from its
// default somewhere.
sim::Machine everythingSet() {
    sim::Machine m = sim::defaultBench();
    sim::HostController& c = m.controllers[0];
    c.node.busNumber = 3;
    c.node.address = 0x1234;
    c.openError = 5;
    c.driverKeyAnswer.failWith = 31;
    c.rootHubNameAnswer.failWith = 1167;
    c.powerMap[2].failWith = 50;
    c.controllerInfo.failWith = 87;
    c.node.propertyErrors[0x15] = 13;
    c.interface.sizeQueryError = 87;
    c.rootHub.superSpeed = true;
    c.rootHub.busPowered = true;
    c.rootHub.openError = 2;
    c.rootHub.nodeInfoError = 31;
    c.rootHub.reportedPortCount = 9;
    for (sim::Port& port : c.rootHub.ports) {
        if (!port.device) continue;
        sim::Device& d = *port.device;
        d.address = 42;
        d.speed = sim::Speed::Low;
        d.openError = 32;
        d.node.enumError = 259;
        d.node.instanceIdError = 122;
        d.usbInterface.detailError = 87;
        port.connectionStatus = 2;
        port.connectionInfoExError = 31;
        port.connectionInfoError = 50;
        port.driverKeyAnswer.failWith = 1167;
        port.nodeNameAnswer.failWith = 31;
        if (!d.configurations.empty()) d.configurations[0].failWith = 31;
        if (d.languages) d.languages->failWith = 31;
        for (auto& byIndex : d.strings)
            for (auto& byLanguage : byIndex.second) byLanguage.second.failWith = 31;
        d.heldOpen = sim::OtherProgramOpen{0x40000000u, 1};
        d.arrival = {250, 500};
        d.winUsb.pipes = {{0x02, sim::PipeKind::Slow, 0, 40}, {0x01, sim::PipeKind::Loopback, 0x81, 0}};
        d.winUsb.vendorControlEcho = true;
        break;
    }
    // The HID devices on the root hub.
    for (sim::Port& port : c.rootHub.ports) {
        if (!port.device) continue;
        for (sim::HidInterface& h : port.device->hidInterfaces) {
            h.openError = 5;
            h.attributesError = 31;
            h.interface.enumError = 259;
            h.behaviour = {sim::HidReportKind::Silent, 9, 17, 33, {1, 2}};
            h.keyboardOrMouse = true;
            h.heldOpen = sim::OtherProgramOpen{0x80000000u, 3};
        }
    }
    m.winUsbLibrary.present = false;
    m.winUsbLibrary.missingEntryPoints = {"WinUsb_AbortPipe"};
    return m;
}

TEST(BenchWriterRoundTrip, EveryFieldItWritesReadsBackAsTheModelHeldIt) {
    sim::Machine original = everythingSet();
    std::string written = bench_tool::writeBench(original);
    sim::Machine readBack;
    std::string error;
    ASSERT_TRUE(sim::parseBench(written, "written.json", &readBack, &error)) << error;
    std::vector<std::string> before = describe(original), after = describe(readBack);
    ASSERT_GT(before.size(), 100u);
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) EXPECT_EQ(before[i], after[i]);
    EXPECT_EQ(before.size(), after.size());
}

}  // namespace
