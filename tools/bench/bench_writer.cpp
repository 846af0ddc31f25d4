// The bench writer. Nothing is left to the bench reader's defaults: names,
// paths, driver keys and properties are written out (null where the machine
// has none), descriptors as their bytes, and each failing answer as the
// fault that makes it fail.
#include "tools/bench/bench_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <nlohmann/json.hpp>

#include "platform/sim/model/bench_keys.h"
#include "platform/sim/model/text.h"
#include "tools/bench/descriptor_text.h"

namespace bench_tool {
namespace {

using Json = nlohmann::ordered_json;

Json hexNumber(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

Json hexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += pair;
    }
    return text;
}

Json optionalText(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }


void writeNodeProperties(const sim::DevNode& node, Json& out) {
    out["description"] = optionalText(node.description);
    out["setupClass"] = optionalText(node.setupClass);
    out["service"] = optionalText(node.service);
    out["instanceId"] = optionalText(node.instanceId);
    out["hardwareIds"] = node.hardwareIds.empty() ? Json(nullptr) : Json(node.hardwareIds);
}

void writeInterfaceFaults(const sim::InterfaceAnswer& interface, Json& faults) {
    if (interface.enumError != 0) faults[sim::bench_key::kInterfaceEnumError] = interface.enumError;
    if (interface.sizeQueryError != 0) faults[sim::bench_key::kSizeQueryError] = interface.sizeQueryError;
    if (interface.detailError != 0) faults[sim::bench_key::kDetailError] = interface.detailError;
}

// SetupAPI faults of a node and of its interface.
void writeNodeFaults(const sim::DevNode& node, const sim::InterfaceAnswer& interface, Json& faults) {
    if (node.enumError != 0) faults[sim::bench_key::kEnumError] = node.enumError;
    if (node.instanceIdError != 0) faults[sim::bench_key::kInstanceIdError] = node.instanceIdError;
    for (const auto& error : node.propertyErrors)
        if (const char* name = sim::benchPropertyName(error.first))
            faults[sim::bench_key::kProperties][name] = error.second;
    writeInterfaceFaults(interface, faults);
}

void writeFailWith(uint32_t error, const char* key, Json& faults) {
    if (error != 0) faults[key][sim::bench_key::kFailWith] = error;
}

void writeHeldOpen(const std::optional<sim::OtherProgramOpen>& held, Json& out) {
    if (held) out["heldOpen"] = {{"shareMode", held->shareMode}, {"access", hexNumber(held->access, 8)}};
}

Json hidInterface(const sim::HidInterface& h) {
    Json out;
    out["vendorId"] = hexNumber(h.vendorId, 4);
    out["productId"] = hexNumber(h.productId, 4);
    out["version"] = hexNumber(h.versionNumber, 4);
    out["manufacturer"] = optionalText(h.manufacturer);
    out["product"] = optionalText(h.product);
    out["serialNumber"] = optionalText(h.serialNumber);
    out["path"] = h.interface.path;
    writeNodeProperties(h.node, out);
    out["driver"] = optionalText(h.node.driver);
    out["reports"] = sim::hidReportsName(h.behaviour.kind);
    out["inputReportLength"] = h.behaviour.inputReportLength;
    out["outputReportLength"] = h.behaviour.outputReportLength;
    out["featureReportLength"] = h.behaviour.featureReportLength;
    out["reportIds"] = h.behaviour.reportIds;
    out["keyboardOrMouse"] = h.keyboardOrMouse;
    writeHeldOpen(h.heldOpen, out);
    Json faults = Json::object();
    if (h.openError != 0) faults["openError"] = h.openError;
    if (h.attributesError != 0) faults["attributesError"] = h.attributesError;
    writeInterfaceFaults(h.interface, faults);
    if (!faults.empty()) out["faults"] = std::move(faults);
    return out;
}

Json hub(const sim::Hub& h);

// A WinUSB device's pipes and control behaviour; nothing for a device that
// has none (what a device without a kind reads back as).
void writeWinUsb(const sim::WinUsbBehaviour& w, Json& out) {
    if (w.pipes.empty() && !w.vendorControlEcho) return;
    Json pipes = Json::array();
    for (const sim::PipeBehaviour& p : w.pipes)
        pipes.push_back({{"pipe", hexNumber(p.pipe, 2)},
                         {"behaviour", sim::pipeKindName(p.kind)},
                         {"to", hexNumber(p.pairedPipe, 2)},
                         {"delayMs", p.delayMs}});
    out["winusb"] = {{"pipes", std::move(pipes)}, {"vendorControlEcho", w.vendorControlEcho}};
}

Json device(const sim::Device& d, const sim::Port& port) {
    const platform::UsbDeviceDescriptor& descriptor = d.descriptor;
    const auto* raw = reinterpret_cast<const uint8_t*>(&descriptor);
    Json out;
    out["vendorId"] = hexNumber(descriptor.idVendor, 4);
    out["productId"] = hexNumber(descriptor.idProduct, 4);
    out["deviceDescriptor"] = hexBytes(std::vector<uint8_t>(raw, raw + sizeof descriptor));
    out["speed"] = sim::speedName(d.speed);
    if (d.address != 0) out["address"] = d.address;
    if (port.connectionStatus) out["connectionStatus"] = *port.connectionStatus;
    Json faults = Json::object();

    if (!d.configurations.empty()) {
        const sim::DescriptorAnswer& config = d.configurations[0];
        if (!config.bytes.empty()) out["configurationBytes"] = hexBytes(config.bytes);
        writeFailWith(config.failWith, "configuration", faults);
    }
    if (d.bos) {
        if (!d.bos->bytes.empty()) out["bos"] = hexBytes(d.bos->bytes);
        writeFailWith(d.bos->failWith, "bos", faults);
    }
    if (d.languages) {
        std::vector<uint16_t> ids;
        const std::vector<uint8_t>& list = d.languages->bytes;
        for (size_t at = 2; at + 1 < list.size(); at += 2) ids.push_back(static_cast<uint16_t>(list[at] | list[at + 1] << 8));
        Json languages = Json::array();
        for (uint16_t id : ids) languages.push_back(hexNumber(id, 4));
        out["languages"] = std::move(languages);
        writeFailWith(d.languages->failWith, "languages", faults);
    }
    if (!d.strings.empty()) {
        Json strings = Json::object();
        for (const auto& byIndex : d.strings)
            for (const auto& byLanguage : byIndex.second) {
                std::string language = hexNumber(byLanguage.first, 4).get<std::string>();
                strings[language][std::to_string(byIndex.first)] = stringDescriptorText(byLanguage.second.bytes);
                if (byLanguage.second.failWith != 0)
                    faults["strings"][std::to_string(byIndex.first)][sim::bench_key::kFailWith] =
                        byLanguage.second.failWith;
            }
        out["strings"] = std::move(strings);
    }

    writeNodeProperties(d.node, out);
    out["driverKey"] = d.driverKey.empty() ? Json(nullptr) : Json(d.driverKey);
    out["interfacePath"] = d.usbInterface.path;
    if (!d.fixedClassInterface.path.empty()) out["fixedClassInterface"] = true;
    if (d.isHub) out["hub"] = hub(d.hub);
    if (!d.hidInterfaces.empty()) {
        Json list = Json::array();
        for (const sim::HidInterface& h : d.hidInterfaces) list.push_back(hidInterface(h));
        out["hidInterfaces"] = std::move(list);
    }
    writeWinUsb(d.winUsb, out);
    writeHeldOpen(d.heldOpen, out);
    if (d.arrival.interfacesAfterMs != 0 || d.arrival.hidStringsFailForMs != 0)
        out["arrival"] = {{"interfacesAfterMs", d.arrival.interfacesAfterMs},
                          {"hidStringsFailForMs", d.arrival.hidStringsFailForMs}};

    if (d.openError != 0) faults["openError"] = d.openError;
    if (port.connectionInfoExError != 0) faults["connectionInfoEx"] = port.connectionInfoExError;
    if (port.connectionInfoError != 0) faults["connectionInfo"] = port.connectionInfoError;
    writeFailWith(port.driverKeyAnswer.failWith, "driverKeyName", faults);
    writeFailWith(port.nodeNameAnswer.failWith, "nodeName", faults);
    writeNodeFaults(d.node, d.usbInterface, faults);
    if (!faults.empty()) out["faults"] = std::move(faults);
    return out;
}

Json hub(const sim::Hub& h) {
    Json out;
    out["portCount"] = h.ports.size();
    out["name"] = h.name;
    if (!h.interface.path.empty()) out["interfacePath"] = h.interface.path;
    out["superSpeed"] = h.superSpeed;
    out["busPowered"] = h.busPowered;
    Json ports = Json::object();
    for (size_t i = 0; i < h.ports.size(); ++i)
        if (h.ports[i].device) ports[std::to_string(i + 1)] = device(*h.ports[i].device, h.ports[i]);
    out["ports"] = std::move(ports);
    Json faults = Json::object();
    if (h.openError != 0) faults["openError"] = h.openError;
    if (h.nodeInfoError != 0) faults["nodeInfoError"] = h.nodeInfoError;
    if (h.reportedPortCount) faults["reportedPortCount"] = *h.reportedPortCount;
    if (!faults.empty()) out["faults"] = std::move(faults);
    return out;
}

// PCI ids from an instance id such as "PCI\VEN_8086&DEV_A36D&SUBSYS_...&REV_10\...".
uint32_t pciField(const std::string& instanceId, const char* field) {
    size_t at = sim::upperAscii(instanceId).find(field);
    if (at == std::string::npos) return 0;
    return static_cast<uint32_t>(std::strtoul(instanceId.c_str() + at + std::strlen(field), nullptr, 16));
}

Json controller(const sim::HostController& c) {
    Json out;
    std::string instanceId = c.node.instanceId.value_or("");
    if (sim::upperAscii(instanceId).rfind("PCI\\", 0) == 0) {
        out["pci"] = {{"vendor", hexNumber(pciField(instanceId, "VEN_"), 4)},
                      {"device", hexNumber(pciField(instanceId, "DEV_"), 4)},
                      {"subsystem", hexNumber(pciField(instanceId, "SUBSYS_"), 8)},
                      {"revision", hexNumber(pciField(instanceId, "REV_"), 2)}};
    }
    writeNodeProperties(c.node, out);
    out["driverKey"] = c.driverKey.empty() ? Json(nullptr) : Json(c.driverKey);
    out["busNumber"] = c.node.busNumber ? Json(*c.node.busNumber) : Json(nullptr);
    out["address"] = c.node.address ? hexNumber(*c.node.address, 8) : Json(nullptr);
    out["interfacePath"] = c.interface.path;
    Json rootNode;
    writeNodeProperties(c.rootHubNode, rootNode);
    rootNode["driver"] = optionalText(c.rootHubNode.driver);
    out["rootHubNode"] = std::move(rootNode);
    out["rootHub"] = hub(c.rootHub);

    Json faults = Json::object();
    if (c.openError != 0) faults["openError"] = c.openError;
    writeFailWith(c.driverKeyAnswer.failWith, "driverKeyName", faults);
    writeFailWith(c.rootHubNameAnswer.failWith, "rootHubName", faults);
    for (size_t i = 0; i < c.powerMap.size(); ++i)
        if (c.powerMap[i].failWith != 0) faults["powerMap"][std::to_string(101 + i)] = c.powerMap[i].failWith;
    if (c.controllerInfo.failWith != 0) faults["controllerInfo"] = c.controllerInfo.failWith;
    writeNodeFaults(c.node, c.interface, faults);
    if (!faults.empty()) out["faults"] = std::move(faults);
    return out;
}

}  // namespace

std::string writeBench(const sim::Machine& machine) {
    Json root;
    Json controllers = Json::array();
    for (const sim::HostController& c : machine.controllers) controllers.push_back(controller(c));
    root["controllers"] = controllers;
    Json others = Json::array();
    for (const sim::DevNode& node : machine.otherDevices) {
        Json one;
        writeNodeProperties(node, one);
        // A node outside USB always has a setup class on a bench.
        if (!node.setupClass) one.erase("setupClass");
        one["driver"] = optionalText(node.driver);
        others.push_back(one);
    }
    root["otherDevices"] = others;
    const sim::WinUsbLibrary& library = machine.winUsbLibrary;
    if (!library.present || !library.missingEntryPoints.empty())
        root["winusbDll"] = {{"present", library.present}, {"missingEntryPoints", library.missingEntryPoints}};
    // A device's texts reach here from the device: any that is not UTF-8
    // is written with U+FFFD in place of each bad byte, never thrown over.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace bench_tool
