// Bench files: JSON text -> Machine, through the builders (the bench schema;
// the typed members and located errors are JsonReader's), so that a device
// described in a file gets the same realistic defaults as one built in a
// test. Every key is checked; the first problem refuses the whole bench.
#include "platform/sim/model/bench.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/sim/model/bench_keys.h"
#include "platform/sim/model/json_reader.h"
#include "platform/sim/model/machine_builder.h"

namespace sim {
namespace {

using nlohmann::json;

// Reads the document into a machine, stopping at the first problem.
class Reader : public JsonReader {
public:
    using JsonReader::JsonReader;

    bool machine(const json& root, Machine* out) {
        if (!root.is_object()) return fail("", "a bench is a JSON object");
        if (!keys(root, "", {"controllers", "otherDevices", "winusbDll"})) return false;
        MachineBuilder builder;
        if (const json* list = member(root, "", "controllers", json::value_t::array)) {
            for (size_t i = 0; i < list->size(); ++i) {
                std::string at = childPointer("/controllers", std::to_string(i));
                HostController c;
                if (!controller((*list)[i], at, controllerPlace(i), &c)) return false;
                builder.controller(c);
            }
        }
        if (failed()) return false;
        if (const json* list = member(root, "", "otherDevices", json::value_t::array)) {
            for (size_t i = 0; i < list->size(); ++i) {
                std::string at = childPointer("/otherDevices", std::to_string(i));
                DevNode node;
                if (!otherDevice((*list)[i], at, otherDevicePlace(i), &node)) return false;
                builder.otherDevice(node);
            }
        }
        if (failed()) return false;
        WinUsbLibrary library;
        if (const json* dll = member(root, "", "winusbDll", json::value_t::object)) {
            if (!winUsbLibrary(*dll, "/winusbDll", &library)) return false;
        }
        if (failed()) return false;
        *out = builder.build();
        out->winUsbLibrary = library;
        return true;
    }

private:
    // -- knobs -------------------------------------------------------------

    bool nameKnob(const json& object, const std::string& at, const char* name, NameAnswer* out) {
        const json* v = member(object, at, name, json::value_t::object);
        if (v == nullptr) return !failed();
        std::string here = childPointer(at, name);
        return keys(*v, here, {bench_key::kFailWith, "actualLength", "bytesReturned"}) &&
               number(*v, here, bench_key::kFailWith, &out->failWith) &&
               optionalNumber(*v, here, "actualLength", &out->actualLength) &&
               optionalNumber(*v, here, "bytesReturned", &out->bytesReturned);
    }

    bool descriptorKnob(const json& v, const std::string& here, DescriptorAnswer* out) {
        if (!v.is_object()) return fail(here, "\"" + keyName(here) + "\" must be an object");
        if (!keys(v, here, {bench_key::kFailWith, "bytesReturned", "bytesAfterFirstRead"})) return false;
        if (!number(v, here, bench_key::kFailWith, &out->failWith) ||
            !optionalNumber(v, here, "bytesReturned", &out->bytesReturned))
            return false;
        if (auto it = v.find("bytesAfterFirstRead"); it != v.end()) {
            std::vector<uint8_t> bytes;
            if (!hexBytes(*it, childPointer(here, "bytesAfterFirstRead"), &bytes)) return false;
            out->bytesAfterFirstRead = bytes;
        }
        return true;
    }

    bool interfaceKnobs(const json& faults, const std::string& at, InterfaceAnswer* out) {
        return number(faults, at, bench_key::kInterfaceEnumError, &out->enumError) &&
               number(faults, at, bench_key::kSizeQueryError, &out->sizeQueryError) &&
               number(faults, at, bench_key::kDetailError, &out->detailError);
    }

    bool nodeKnobs(const json& faults, const std::string& at, DevNode* node) {
        if (!number(faults, at, bench_key::kEnumError, &node->enumError) ||
            !number(faults, at, bench_key::kInstanceIdError, &node->instanceIdError))
            return false;
        const json* properties = member(faults, at, bench_key::kProperties, json::value_t::object);
        if (properties == nullptr) return !failed();
        std::string here = childPointer(at, bench_key::kProperties);
        for (auto it = properties->begin(); it != properties->end(); ++it) {
            uint32_t code = 0;
            if (!benchPropertyCode(it.key(), &code))
                return fail(childPointer(here, it.key()), "unknown property \"" + it.key() + "\"");
            uint64_t error = 0;
            if (!numberValue(*it, childPointer(here, it.key()), UINT32_MAX, &error)) return false;
            node->propertyErrors[code] = static_cast<uint32_t>(error);
        }
        return true;
    }

    // Node properties that a bench may set or remove (null).
    bool nodeProperties(const json& v, const std::string& at, DevNode* node) {
        if (!optionalText(v, at, "description", &node->description) ||
            !optionalText(v, at, "service", &node->service) ||
            !optionalText(v, at, "setupClass", &node->setupClass) ||
            !optionalText(v, at, "instanceId", &node->instanceId))
            return false;
        if (auto it = v.find("hardwareIds"); it != v.end()) {
            std::string here = childPointer(at, "hardwareIds");
            node->hardwareIds.clear();
            if (it->is_null()) return true;
            if (!it->is_array()) return fail(here, "\"hardwareIds\" must be an array of texts or null");
            for (size_t i = 0; i < it->size(); ++i) {
                if (!(*it)[i].is_string()) return fail(childPointer(here, std::to_string(i)), "a hardware id is a text");
                node->hardwareIds.push_back((*it)[i].get<std::string>());
            }
        }
        return true;
    }

    // "winusbDll": {"present": false} or {"missingEntryPoints": ["WinUsb_AbortPipe"]}.
    bool winUsbLibrary(const json& v, const std::string& at, WinUsbLibrary* out) {
        if (!keys(v, at, {"present", "missingEntryPoints"}) || !flag(v, at, "present", &out->present)) return false;
        if (auto it = v.find("missingEntryPoints"); it != v.end()) {
            std::string here = childPointer(at, "missingEntryPoints");
            if (!it->is_array()) return fail(here, "\"missingEntryPoints\" must be an array of texts");
            for (size_t i = 0; i < it->size(); ++i) {
                if (!(*it)[i].is_string()) return fail(childPointer(here, std::to_string(i)), "an entry point is a text");
                out->missingEntryPoints.push_back((*it)[i].get<std::string>());
            }
        }
        return true;
    }

    // -- topology ----------------------------------------------------------

    bool hub(const json& v, const std::string& at, const std::string& place, HubBuilder* out) {
        if (!v.is_object()) return fail(at, "a hub is an object");
        if (!keys(v, at, {"portCount", "ports", "superSpeed", "busPowered", "name", "interfacePath", "faults"}))
            return false;
        uint32_t portCount = 4;
        bool countGiven = v.contains("portCount");
        if (!number(v, at, "portCount", &portCount, 255)) return false;
        std::vector<std::pair<uint32_t, Port>> ports;
        if (const json* list = member(v, at, "ports", json::value_t::object)) {
            std::string here = childPointer(at, "ports");
            for (auto it = list->begin(); it != list->end(); ++it) {
                std::string portAt = childPointer(here, it.key());
                uint64_t port = 0;
                if (!numberValue(json(it.key()), portAt, 255, &port) || port == 0)
                    return fail(portAt, "a port is named by its number, from 1 to 255");
                if (!countGiven && port > portCount) portCount = static_cast<uint32_t>(port);
                if (port > portCount) return fail(portAt, "port " + it.key() + " is beyond the hub's portCount");
                Port p;
                if (!device(it.value(), portAt, portPlace(place, static_cast<uint32_t>(port)), &p)) return false;
                ports.push_back({static_cast<uint32_t>(port), p});
            }
        }
        if (failed()) return false;
        HubBuilder builder(static_cast<uint8_t>(portCount));
        for (auto& entry : ports) builder.port(entry.first, entry.second);
        Hub knobs;
        bool superSpeed = false, busPowered = false;
        std::string name, interfacePath;
        if (!flag(v, at, "superSpeed", &superSpeed) || !flag(v, at, "busPowered", &busPowered) ||
            !text(v, at, "name", &name) || !text(v, at, "interfacePath", &interfacePath))
            return false;
        if (!name.empty()) builder.name(name);
        if (const json* faults = member(v, at, "faults", json::value_t::object)) {
            std::string here = childPointer(at, "faults");
            if (!keys(*faults, here, {"openError", "nodeInfoError", "reportedPortCount"}) ||
                !number(*faults, here, "openError", &knobs.openError) ||
                !number(*faults, here, "nodeInfoError", &knobs.nodeInfoError) ||
                !optionalNumber(*faults, here, "reportedPortCount", &knobs.reportedPortCount, 255))
                return false;
        }
        if (failed()) return false;
        builder.superSpeed(superSpeed).edit([knobs, busPowered, interfacePath](Hub& h) {
            if (!interfacePath.empty()) h.interface.path = interfacePath;
            h.openError = knobs.openError;
            h.nodeInfoError = knobs.nodeInfoError;
            h.reportedPortCount = knobs.reportedPortCount;
            h.busPowered = busPowered;
        });
        *out = builder;
        return true;
    }

    bool controller(const json& v, const std::string& at, const std::string& place, HostController* out) {
        if (!v.is_object()) return fail(at, "a controller is an object");
        if (!keys(v, at, {"pci", "instanceId", "driverKey", "description", "service", "setupClass", "hardwareIds",
                          "busNumber", "address", "interfacePath", "rootHub", "rootHubNode", "faults"}))
            return false;
        ControllerBuilder builder;
        builder.identity(benchIdentity(place));
        if (const json* pci = member(v, at, "pci", json::value_t::object)) {
            std::string here = childPointer(at, "pci");
            uint16_t vendor = 0, device = 0;
            uint32_t subsystem = 0;
            uint8_t revision = 0;
            if (!keys(*pci, here, {"vendor", "device", "subsystem", "revision"}) ||
                !number(*pci, here, "vendor", &vendor, 0xFFFF) || !number(*pci, here, "device", &device, 0xFFFF) ||
                !number(*pci, here, "subsystem", &subsystem) || !number(*pci, here, "revision", &revision, 0xFF))
                return false;
            builder.pci(vendor, device, subsystem, revision);
        }
        if (failed()) return false;
        if (auto it = v.find("instanceId"); it != v.end()) {
            if (!it->is_string()) return fail(childPointer(at, "instanceId"), "\"instanceId\" must be a text");
            builder.instanceId(it->get<std::string>());
        }
        if (auto it = v.find("driverKey"); it != v.end()) {
            if (!it->is_string() && !it->is_null())
                return fail(childPointer(at, "driverKey"), "\"driverKey\" must be a text or null");
            builder.driverKey(it->is_null() ? std::string() : it->get<std::string>());
        }
        if (const json* root = member(v, at, "rootHub", json::value_t::object)) {
            HubBuilder hubBuilder(4);
            if (!hub(*root, childPointer(at, "rootHub"), place, &hubBuilder)) return false;
            builder.rootHub(hubBuilder);
        }
        if (failed()) return false;
        HostController c = builder.build();
        if (!nodeProperties(v, at, &c.node) || !optionalNumber(v, at, "busNumber", &c.node.busNumber) ||
            !optionalNumber(v, at, "address", &c.node.address) || !text(v, at, "interfacePath", &c.interface.path))
            return false;
        // The root hub's own device node, as the SetupAPI lists it.
        if (const json* node = member(v, at, "rootHubNode", json::value_t::object)) {
            std::string here = childPointer(at, "rootHubNode");
            if (!keys(*node, here, {"description", "setupClass", "service", "instanceId", "hardwareIds", "driver"}) ||
                !nodeProperties(*node, here, &c.rootHubNode) || !optionalText(*node, here, "driver", &c.rootHubNode.driver))
                return false;
        }
        if (failed()) return false;
        if (const json* faults = member(v, at, "faults", json::value_t::object)) {
            std::string here = childPointer(at, "faults");
            if (!keys(*faults, here, {"openError", "driverKeyName", "rootHubName", "powerMap", "controllerInfo",
                                      bench_key::kEnumError, bench_key::kInstanceIdError,
                                      bench_key::kProperties, bench_key::kInterfaceEnumError,
                                      bench_key::kSizeQueryError, bench_key::kDetailError}) ||
                !number(*faults, here, "openError", &c.openError) ||
                !nameKnob(*faults, here, "driverKeyName", &c.driverKeyAnswer) ||
                !nameKnob(*faults, here, "rootHubName", &c.rootHubNameAnswer) ||
                !number(*faults, here, "controllerInfo", &c.controllerInfo.failWith) ||
                !nodeKnobs(*faults, here, &c.node) || !interfaceKnobs(*faults, here, &c.interface))
                return false;
            if (const json* power = member(*faults, here, "powerMap", json::value_t::object)) {
                std::string powerAt = childPointer(here, "powerMap");
                for (auto it = power->begin(); it != power->end(); ++it) {
                    uint64_t state = 0;
                    std::string stateAt = childPointer(powerAt, it.key());
                    if (!numberValue(json(it.key()), stateAt, 106, &state) || state < 101)
                        return fail(stateAt, "a power state is a number from 101 to 106");
                    uint64_t error = 0;
                    if (!numberValue(it.value(), stateAt, UINT32_MAX, &error)) return false;
                    c.powerMap[state - 101].failWith = static_cast<uint32_t>(error);
                }
            }
        }
        if (failed()) return false;
        *out = c;
        return true;
    }

    bool configuration(const json& v, const std::string& at, std::vector<uint8_t>* out) {
        if (!keys(v, at, {"value", "string", "attributes", "maxPower", "associations", "interfaces"})) return false;
        ConfigurationBuilder builder;
        uint8_t value = 1, string = 0, attributes = 0x80, maxPower = 50;
        if (!number(v, at, "value", &value, 255) || !number(v, at, "string", &string, 255) ||
            !number(v, at, "attributes", &attributes, 255) || !number(v, at, "maxPower", &maxPower, 255))
            return false;
        builder.configurationValue(value).configurationString(string).attributes(attributes).maxPower(maxPower);

        struct Association {
            uint8_t first = 0, count = 0, cls = 0, sub = 0, proto = 0, string = 0;
        };
        std::vector<Association> associations;
        if (const json* list = member(v, at, "associations", json::value_t::array)) {
            for (size_t i = 0; i < list->size(); ++i) {
                const json& a = (*list)[i];
                std::string here = childPointer(childPointer(at, "associations"), std::to_string(i));
                Association x;
                if (!a.is_object()) return fail(here, "an association is an object");
                if (!keys(a, here, {"firstInterface", "interfaceCount", "class", "subClass", "protocol", "string"}) ||
                    !number(a, here, "firstInterface", &x.first, 255) ||
                    !number(a, here, "interfaceCount", &x.count, 255) || !number(a, here, "class", &x.cls, 255) ||
                    !number(a, here, "subClass", &x.sub, 255) || !number(a, here, "protocol", &x.proto, 255) ||
                    !number(a, here, "string", &x.string, 255))
                    return false;
                associations.push_back(x);
            }
        }
        if (failed()) return false;
        const json* list = member(v, at, "interfaces", json::value_t::array);
        if (failed()) return false;
        size_t count = list == nullptr ? 0 : list->size();
        for (size_t i = 0; i < count; ++i) {
            // An association comes just before the first interface it groups.
            for (const Association& a : associations)
                if (a.first == i) builder.association(a.first, a.count, a.cls, a.sub, a.proto, a.string);
            const json& f = (*list)[i];
            std::string here = childPointer(childPointer(at, "interfaces"), std::to_string(i));
            if (!f.is_object()) return fail(here, "an interface is an object");
            uint8_t cls = 0xFF, sub = 0, proto = 0, string = 0;
            uint16_t hidReport = 0;
            if (!keys(f, here, {"class", "subClass", "protocol", "string", "hidReportLength", "endpoints"}) ||
                !number(f, here, "class", &cls, 255) || !number(f, here, "subClass", &sub, 255) ||
                !number(f, here, "protocol", &proto, 255) || !number(f, here, "string", &string, 255) ||
                !number(f, here, "hidReportLength", &hidReport, 0xFFFF))
                return false;
            builder.interface(cls, sub, proto, string);
            if (hidReport != 0) builder.hidDescriptor(hidReport);
            if (const json* endpoints = member(f, here, "endpoints", json::value_t::array)) {
                for (size_t k = 0; k < endpoints->size(); ++k) {
                    const json& e = (*endpoints)[k];
                    std::string eAt = childPointer(childPointer(here, "endpoints"), std::to_string(k));
                    if (!e.is_object()) return fail(eAt, "an endpoint is an object");
                    uint8_t address = 0, interval = 0;
                    uint16_t maxPacket = 64;
                    std::string type = "bulk";
                    if (!keys(e, eAt, {"address", "type", "maxPacket", "interval"}) ||
                        !number(e, eAt, "address", &address, 255) || !text(e, eAt, "type", &type) ||
                        !number(e, eAt, "maxPacket", &maxPacket, 0xFFFF) || !number(e, eAt, "interval", &interval, 255))
                        return false;
                    uint8_t attributes = type == "control" ? 0 : type == "isochronous" ? 1 : type == "bulk" ? 2
                                         : type == "interrupt" ? 3 : 0xFF;
                    if (attributes == 0xFF)
                        return fail(childPointer(eAt, "type"),
                                    "\"type\" must be \"bulk\", \"interrupt\", \"isochronous\" or \"control\"");
                    builder.endpoint(address, attributes, maxPacket, interval);
                }
            }
            if (failed()) return false;
        }
        *out = builder.bytes();
        return true;
    }

    bool pipes(const json& v, const std::string& at, WinUsbBehaviour* out) {
        if (!keys(v, at, {"pipes", "vendorControlEcho"}) || !flag(v, at, "vendorControlEcho", &out->vendorControlEcho))
            return false;
        const json* list = member(v, at, "pipes", json::value_t::array);
        if (list == nullptr) return !failed();
        out->pipes.clear();
        for (size_t i = 0; i < list->size(); ++i) {
            const json& p = (*list)[i];
            std::string here = childPointer(childPointer(at, "pipes"), std::to_string(i));
            if (!p.is_object()) return fail(here, "a pipe is an object");
            PipeBehaviour pipe;
            std::string behaviour = "sink";
            if (!keys(p, here, {"pipe", "behaviour", "to", "delayMs"}) || !number(p, here, "pipe", &pipe.pipe, 255) ||
                !text(p, here, "behaviour", &behaviour) || !number(p, here, "to", &pipe.pairedPipe, 255) ||
                !number(p, here, "delayMs", &pipe.delayMs))
                return false;
            if (!pipeKindFromName(behaviour, &pipe.kind))
                return fail(childPointer(here, "behaviour"),
                            "\"behaviour\" must be one of loopback, sink, source, stall, slow, silent");
            out->pipes.push_back(pipe);
        }
        return true;
    }

    bool hidReports(const json& v, const std::string& at, const char* name, HidBehaviour* out) {
        std::string kind;
        if (!text(v, at, name, &kind)) return false;
        if (kind.empty()) return true;
        if (!hidReportsFromName(kind, &out->kind))
            return fail(childPointer(at, name), std::string("\"") + name + "\" must be \"echo\" or \"silent\"");
        return true;
    }

    // Report lengths (the report id byte and the data) and declared report
    // ids; "reportBytes" is the older way to give the input and output data
    // length.
    bool reportFormat(const json& v, const std::string& at, HidBehaviour* b) {
        uint32_t dataBytes = 0;
        if (!number(v, at, "reportBytes", &dataBytes, 4095)) return false;
        if (v.contains("reportBytes")) b->inputReportLength = b->outputReportLength = dataBytes + 1;
        if (!number(v, at, "inputReportLength", &b->inputReportLength, 4096) ||
            !number(v, at, "outputReportLength", &b->outputReportLength, 4096) ||
            !number(v, at, "featureReportLength", &b->featureReportLength, 4096))
            return false;
        if (const json* ids = member(v, at, "reportIds", json::value_t::array)) {
            b->reportIds.clear();
            for (size_t i = 0; i < ids->size(); ++i) {
                uint64_t id = 0;
                std::string here = childPointer(childPointer(at, "reportIds"), std::to_string(i));
                if (!numberValue((*ids)[i], here, 255, &id)) return false;
                if (id == 0) return fail(here, "a declared report id is from 1 to 255");
                b->reportIds.push_back(static_cast<uint8_t>(id));
            }
        }
        return !failed();
    }

    // Another program's open: its share mode (FILE_SHARE_READ 1, FILE_SHARE_WRITE
    // 2) and access (default GENERIC_READ | GENERIC_WRITE).
    bool heldOpen(const json& v, const std::string& at, std::optional<OtherProgramOpen>* out) {
        const json* held = member(v, at, "heldOpen", json::value_t::object);
        if (held == nullptr) return !failed();
        std::string here = childPointer(at, "heldOpen");
        OtherProgramOpen open;
        if (!keys(*held, here, {"shareMode", "access"}) || !number(*held, here, "shareMode", &open.shareMode, 7) ||
            !number(*held, here, "access", &open.access))
            return false;
        *out = open;
        return true;
    }

    bool hidInterface(const json& v, const std::string& at, HidInterface* h) {
        if (!v.is_object()) return fail(at, "a HID interface is an object");
        if (!keys(v, at, {"vendorId", "productId", "version", "manufacturer", "product", "serialNumber", "path",
                          "reports", "reportBytes", "inputReportLength", "outputReportLength",
                          "featureReportLength", "reportIds", "keyboardOrMouse", "heldOpen", "description",
                          "instanceId", "setupClass", "service", "hardwareIds", "driver", "faults"}) ||
            !number(v, at, "vendorId", &h->vendorId, 0xFFFF) || !number(v, at, "productId", &h->productId, 0xFFFF) ||
            !number(v, at, "version", &h->versionNumber, 0xFFFF) ||
            !optionalText(v, at, "manufacturer", &h->manufacturer) || !optionalText(v, at, "product", &h->product) ||
            !optionalText(v, at, "serialNumber", &h->serialNumber) || !text(v, at, "path", &h->interface.path) ||
            !hidReports(v, at, "reports", &h->behaviour) || !reportFormat(v, at, &h->behaviour) ||
            !flag(v, at, "keyboardOrMouse", &h->keyboardOrMouse) || !heldOpen(v, at, &h->heldOpen) ||
            !nodeProperties(v, at, &h->node) || !optionalText(v, at, "driver", &h->node.driver))
            return false;
        if (const json* faults = member(v, at, "faults", json::value_t::object)) {
            std::string here = childPointer(at, "faults");
            if (!keys(*faults, here, {"openError", "attributesError", bench_key::kInterfaceEnumError,
                                      bench_key::kSizeQueryError, bench_key::kDetailError}) ||
                !number(*faults, here, "openError", &h->openError) ||
                !number(*faults, here, "attributesError", &h->attributesError) ||
                !interfaceKnobs(*faults, here, &h->interface))
                return false;
        }
        return !failed();
    }

    // -- devices -----------------------------------------------------------

    // What each further HID interface of a device starts from: the device's
    // ids and the strings the bench gives it.
    struct DeviceIdentity {
        uint16_t vendorId = 0, productId = 0, release = 0x0100;
        std::optional<std::string> manufacturer, product, serialNumber;
    };

    // A device and the knobs of the port it sits on.
    bool device(const json& v, const std::string& at, const std::string& place, Port* port) {
        if (!v.is_object()) return fail(at, "a device is an object");
        if (!keys(v, at, {"vendorId", "productId", "release", "usbVersion", "speed", "deviceClass", "address",
                          "kind", "manufacturer", "product", "serialNumber", "languages", "strings",
                          "configuration", "configurationBytes", "bos", "service", "description", "setupClass",
                          "hardwareIds", "driverKey", "instanceId", "interfacePath", "fixedClassInterface", "hub",
                          "hidReports", "hid", "hidInterfaces", "heldOpen", "arrival", "winusb",
                          "connectionStatus", "deviceDescriptor", "faults"}))
            return false;
        DeviceIdentity identity;
        if (!deviceIds(v, at, &identity)) return false;
        DeviceBuilder b(identity.vendorId, identity.productId);
        b.identity(benchIdentity(place)).release(identity.release);
        if (!versionAndSpeed(v, at, &b) || !deviceStrings(v, at, &identity, &b) ||
            !deviceKind(v, at, place, &b) || !deviceNames(v, at, &b))
            return false;
        Device d = b.build();
        if (!deviceDescriptorBytes(v, at, &d) || !nodeProperties(v, at, &d.node) ||
            !number(v, at, "address", &d.address, 127) ||
            !optionalNumber(v, at, "connectionStatus", &port->connectionStatus) || !deviceBehaviour(v, at, &d) ||
            !listedHidInterfaces(v, at, place, identity, &d) || !deviceFaults(v, at, &d, port))
            return false;
        port->device = d;
        return true;
    }

    bool deviceIds(const json& v, const std::string& at, DeviceIdentity* out) {
        if (!v.contains("vendorId")) return fail(at, "a device needs \"vendorId\"");
        if (!v.contains("productId")) return fail(at, "a device needs \"productId\"");
        return number(v, at, "vendorId", &out->vendorId, 0xFFFF) &&
               number(v, at, "productId", &out->productId, 0xFFFF) &&
               number(v, at, "release", &out->release, 0xFFFF);
    }

    bool versionAndSpeed(const json& v, const std::string& at, DeviceBuilder* b) {
        uint16_t usbVersion = 0x0200;
        std::string speed;
        if (!number(v, at, "usbVersion", &usbVersion, 0xFFFF) || !text(v, at, "speed", &speed)) return false;
        b->usbVersion(usbVersion);
        if (speed.empty()) return true;
        Speed value = Speed::High;
        if (!speedFromName(speed, &value))
            return fail(childPointer(at, "speed"), "\"speed\" must be \"low\", \"full\", \"high\" or \"super\"");
        b->speed(value);
        return true;
    }

    // Languages, the three usual strings and strings by language and index.
    bool deviceStrings(const json& v, const std::string& at, DeviceIdentity* identity, DeviceBuilder* b) {
        if (const json* languages = member(v, at, "languages", json::value_t::array)) {
            std::vector<uint16_t> ids;
            for (size_t i = 0; i < languages->size(); ++i) {
                uint64_t id = 0;
                if (!numberValue((*languages)[i], childPointer(childPointer(at, "languages"), std::to_string(i)),
                                 0xFFFF, &id))
                    return false;
                ids.push_back(static_cast<uint16_t>(id));
            }
            b->languages(ids);
        }
        if (failed()) return false;
        std::string manufacturer, product, serial;
        if (!text(v, at, "manufacturer", &manufacturer) || !text(v, at, "product", &product) ||
            !text(v, at, "serialNumber", &serial))
            return false;
        if (v.contains("manufacturer")) b->manufacturer(*(identity->manufacturer = manufacturer));
        if (v.contains("product")) b->product(*(identity->product = product));
        if (v.contains("serialNumber")) b->serialNumber(*(identity->serialNumber = serial));
        const json* strings = member(v, at, "strings", json::value_t::object);
        if (strings == nullptr) return !failed();
        std::string here = childPointer(at, "strings");
        for (auto lang = strings->begin(); lang != strings->end(); ++lang) {
            std::string langAt = childPointer(here, lang.key());
            uint64_t language = 0;
            if (!numberValue(json(lang.key()), langAt, 0xFFFF, &language))
                return fail(langAt, "strings are grouped by language id, such as \"0x0409\"");
            if (!lang->is_object()) return fail(langAt, "the strings of a language are an object");
            for (auto s = lang->begin(); s != lang->end(); ++s) {
                std::string sAt = childPointer(langAt, s.key());
                uint64_t index = 0;
                if (!numberValue(json(s.key()), sAt, 255, &index) || index == 0)
                    return fail(sAt, "a string is named by its index, from 1 to 255");
                if (!s->is_string()) return fail(sAt, "a string is a text");
                b->string(static_cast<uint8_t>(index), static_cast<uint16_t>(language), s->get<std::string>());
            }
        }
        return true;
    }

    // What kind of device it is, and its descriptors beyond the device descriptor.
    bool deviceKind(const json& v, const std::string& at, const std::string& place, DeviceBuilder* b) {
        std::string kind = "plain";
        if (!text(v, at, "kind", &kind)) return false;
        if (kind == "winusb") b->winUsb();
        else if (kind == "hid") b->hid();
        else if (kind == "massStorage") b->massStorage();
        else if (kind != "plain")
            return fail(childPointer(at, "kind"), "\"kind\" must be \"plain\", \"winusb\", \"hid\" or \"massStorage\"");
        if (const json* cls = member(v, at, "deviceClass", json::value_t::array)) {
            uint64_t c[3] = {0, 0, 0};
            if (cls->size() != 3) return fail(childPointer(at, "deviceClass"), "\"deviceClass\" is [class, subclass, protocol]");
            for (size_t i = 0; i < 3; ++i)
                if (!numberValue((*cls)[i], childPointer(childPointer(at, "deviceClass"), std::to_string(i)), 255, &c[i]))
                    return false;
            b->deviceClass(static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2]));
        }
        if (failed()) return false;
        if (const json* hubValue = member(v, at, "hub", json::value_t::object)) {
            HubBuilder hubBuilder(4);
            if (!hub(*hubValue, childPointer(at, "hub"), place, &hubBuilder)) return false;
            b->hub(hubBuilder);
        }
        if (failed()) return false;
        if (const json* config = member(v, at, "configuration", json::value_t::object)) {
            std::vector<uint8_t> bytes;
            if (!configuration(*config, childPointer(at, "configuration"), &bytes)) return false;
            b->configurationBytes(bytes);
        }
        if (failed()) return false;
        if (auto it = v.find("configurationBytes"); it != v.end()) {
            std::vector<uint8_t> bytes;
            if (!hexBytes(*it, childPointer(at, "configurationBytes"), &bytes)) return false;
            b->configurationBytes(bytes);
        }
        if (auto it = v.find("bos"); it != v.end()) {
            if (it->is_boolean()) {
                if (it->get<bool>()) b->bos(usb2ExtensionBosBytes());
            } else {
                std::vector<uint8_t> bytes;
                if (!hexBytes(*it, childPointer(at, "bos"), &bytes)) return false;
                b->bos(bytes);
            }
        }
        bool fixedClass = false;
        if (!flag(v, at, "fixedClassInterface", &fixedClass)) return false;
        if (fixedClass) b->fixedClassInterface();
        return true;
    }

    // The names the builder derives other names from (the node's other
    // properties are set on the built device).
    bool deviceNames(const json& v, const std::string& at, DeviceBuilder* b) {
        if (auto it = v.find("description"); it != v.end() && it->is_string()) b->description(it->get<std::string>());
        if (auto it = v.find("instanceId"); it != v.end() && it->is_string()) b->instanceId(it->get<std::string>());
        if (auto it = v.find("driverKey"); it != v.end()) {
            if (!it->is_string() && !it->is_null())
                return fail(childPointer(at, "driverKey"), "\"driverKey\" must be a text or null");
            b->driverKey(it->is_null() ? std::string() : it->get<std::string>());
        }
        std::string interfacePath;
        if (!text(v, at, "interfacePath", &interfacePath)) return false;
        if (v.contains("interfacePath")) b->interfacePath(interfacePath);
        return true;
    }

    // The 18 bytes as the hub reports them, for a device taken from a real
    // machine: they override what the other keys made.
    bool deviceDescriptorBytes(const json& v, const std::string& at, Device* d) {
        auto it = v.find("deviceDescriptor");
        if (it == v.end()) return true;
        std::vector<uint8_t> bytes;
        std::string here = childPointer(at, "deviceDescriptor");
        if (!hexBytes(*it, here, &bytes)) return false;
        if (bytes.size() != sizeof d->descriptor) return fail(here, "\"deviceDescriptor\" is 18 bytes");
        std::memcpy(&d->descriptor, bytes.data(), sizeof d->descriptor);
        return true;
    }

    // Its data path and how it comes up and who else holds it.
    bool deviceBehaviour(const json& v, const std::string& at, Device* d) {
        if (const json* w = member(v, at, "winusb", json::value_t::object)) {
            if (!pipes(*w, childPointer(at, "winusb"), &d->winUsb)) return false;
        }
        if (failed()) return false;
        if (v.contains("hidReports") && d->hidInterfaces.empty())
            return fail(childPointer(at, "hidReports"), "\"hidReports\" belongs to a device of kind \"hid\"");
        if (!d->hidInterfaces.empty() && !hidReports(v, at, "hidReports", &d->hidInterfaces[0].behaviour)) return false;
        if (const json* hid = member(v, at, "hid", json::value_t::object)) {
            if (d->hidInterfaces.empty()) return fail(childPointer(at, "hid"), "\"hid\" belongs to a device of kind \"hid\"");
            if (!hidInterface(*hid, childPointer(at, "hid"), &d->hidInterfaces[0])) return false;
        }
        if (!heldOpen(v, at, &d->heldOpen)) return false;
        const json* arrival = member(v, at, "arrival", json::value_t::object);
        if (arrival == nullptr) return !failed();
        std::string here = childPointer(at, "arrival");
        return keys(*arrival, here, {"interfacesAfterMs", "hidStringsFailForMs"}) &&
               number(*arrival, here, "interfacesAfterMs", &d->arrival.interfacesAfterMs) &&
               number(*arrival, here, "hidStringsFailForMs", &d->arrival.hidStringsFailForMs);
    }

    // "hidInterfaces": each further interface starts as a copy of the
    // device's ids and strings with a path of its own.
    bool listedHidInterfaces(const json& v, const std::string& at, const std::string& place,
                             const DeviceIdentity& identity, Device* d) {
        const json* list = member(v, at, "hidInterfaces", json::value_t::array);
        if (list == nullptr) return !failed();
        for (size_t i = 0; i < list->size(); ++i) {
            DeviceBuilder copy(identity.vendorId, identity.productId);
            copy.identity(benchIdentity(hidInterfacePlace(place, i))).release(identity.release).hidInterface();
            if (identity.manufacturer) copy.manufacturer(*identity.manufacturer);
            if (identity.product) copy.product(*identity.product);
            if (identity.serialNumber) copy.serialNumber(*identity.serialNumber);
            HidInterface h = copy.build().hidInterfaces[0];
            if (!hidInterface((*list)[i], childPointer(childPointer(at, "hidInterfaces"), std::to_string(i)), &h))
                return false;
            d->hidInterfaces.push_back(h);
        }
        return true;
    }

    // Faults of the device and of the port it sits on.
    bool deviceFaults(const json& v, const std::string& at, Device* d, Port* port) {
        const json* faults = member(v, at, "faults", json::value_t::object);
        if (faults == nullptr) return !failed();
        std::string here = childPointer(at, "faults");
        if (!keys(*faults, here, {"openError", "connectionInfoEx", "connectionInfo", "driverKeyName", "nodeName",
                                  "configuration", "bos", "languages", "strings", bench_key::kEnumError,
                                  bench_key::kInstanceIdError, bench_key::kProperties,
                                  bench_key::kInterfaceEnumError, bench_key::kSizeQueryError,
                                  bench_key::kDetailError}) ||
            !number(*faults, here, "openError", &d->openError) ||
            !number(*faults, here, "connectionInfoEx", &port->connectionInfoExError) ||
            !number(*faults, here, "connectionInfo", &port->connectionInfoError) ||
            !nameKnob(*faults, here, "driverKeyName", &port->driverKeyAnswer) ||
            !nameKnob(*faults, here, "nodeName", &port->nodeNameAnswer) || !nodeKnobs(*faults, here, &d->node) ||
            !interfaceKnobs(*faults, here, &d->usbInterface))
            return false;
        if (auto it = faults->find("configuration"); it != faults->end()) {
            if (d->configurations.empty()) d->configurations.emplace_back();
            if (!descriptorKnob(*it, childPointer(here, "configuration"), &d->configurations[0])) return false;
        }
        if (auto it = faults->find("bos"); it != faults->end()) {
            if (!d->bos) d->bos = DescriptorAnswer();
            if (!descriptorKnob(*it, childPointer(here, "bos"), &*d->bos)) return false;
        }
        if (auto it = faults->find("languages"); it != faults->end()) {
            if (!d->languages) d->languages = DescriptorAnswer();
            if (!descriptorKnob(*it, childPointer(here, "languages"), &*d->languages)) return false;
        }
        const json* strings = member(*faults, here, "strings", json::value_t::object);
        if (strings == nullptr) return !failed();
        std::string sAt = childPointer(here, "strings");
        for (auto s = strings->begin(); s != strings->end(); ++s) {
            std::string one = childPointer(sAt, s.key());
            uint64_t index = 0;
            if (!numberValue(json(s.key()), one, 255, &index) || index == 0)
                return fail(one, "a string is named by its index, from 1 to 255");
            auto found = d->strings.find(static_cast<uint8_t>(index));
            if (found == d->strings.end()) return fail(one, "the device has no string " + s.key());
            for (auto& byLanguage : found->second)
                if (!descriptorKnob(s.value(), one, &byLanguage.second)) return false;
        }
        return true;
    }

    bool otherDevice(const json& v, const std::string& at, const std::string& place, DevNode* out) {
        if (!v.is_object()) return fail(at, "a device outside USB is an object");
        if (!keys(v, at, {"description", "setupClass", "instanceId", "service", "hardwareIds", "driver"})) return false;
        std::string setupClass = "System";
        if (!text(v, at, "setupClass", &setupClass)) return false;
        DevNode node = otherDeviceNode("", setupClass, benchIdentity(place));
        if (!nodeProperties(v, at, &node) || !optionalText(v, at, "driver", &node.driver)) return false;
        *out = node;
        return true;
    }
};

}  // namespace

bool parseBench(const std::string& text, const std::string& fileName, Machine* machine, std::string* error) {
    json root;
    if (!parseJsonText(text, fileName, &root, error)) return false;
    Reader reader(text, fileName);
    Machine out;
    if (!reader.machine(root, &out)) {
        if (error != nullptr) *error = reader.error();
        return false;
    }
    *machine = std::move(out);
    return true;
}

bool loadBenchFile(const std::string& path, Machine* machine, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error != nullptr) *error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return parseBench(text.str(), path, machine, error);
}

Machine defaultBench() {
    Machine machine;
    std::string error;
    if (!parseBench(defaultBenchText(), "built-in bench", &machine, &error)) {
        // Cannot happen for a bench that the tests read; say so loudly if it does.
        std::fprintf(stderr, "simulated USB machine: %s\n", error.c_str());
    }
    return machine;
}

}  // namespace sim
