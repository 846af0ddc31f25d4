#include "tools/bench_show.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "jni/description_record.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"
#include "platform/sim/model/text.h"

namespace {

// How deep the library's walk goes: the root hub and fifteen hubs below it.
constexpr int kWalkedHubs = 16;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A device's text for a string index, in US English or its first language;
// "" when it has none.
std::string deviceText(const sim::Device& d, uint8_t index) {
    auto byIndex = d.strings.find(index);
    if (index == 0 || byIndex == d.strings.end() || byIndex->second.empty()) return "";
    auto text = byIndex->second.find(0x0409);
    const std::vector<uint8_t>& bytes = (text != byIndex->second.end() ? text : byIndex->second.begin())->second.bytes;
    std::u16string wide;
    for (size_t at = 2; at + 1 < bytes.size() && at < bytes[0]; at += 2)
        wide.push_back(static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8));
    return sim::utf16ToUtf8(wide);
}

std::string ids(uint16_t vendor, uint16_t product) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%04X", vendor, product);
    return text;
}

class Tree {
public:
    Tree(const std::map<std::string, std::string>& records, int vendor, bool print)
        : records_(records), vendor_(vendor), print_(print) {}

    void controller(size_t index, const sim::HostController& c) {
        line("controller " + std::to_string(index) + ": " + c.node.instanceId.value_or("(no instance id)") +
             (c.node.description ? ", \"" + *c.node.description + "\"" : std::string()));
        line("  root hub: " + std::to_string(c.rootHub.ports.size()) + " port(s)");
        ports(c.rootHub, 1, "    ", std::to_string(index) + ":");
    }

    // Devices that are not hubs and are not listed, with the reason.
    const std::vector<std::string>& unlisted() const { return unlisted_; }

private:
    // Whether a device, or one behind it, is of the vendor shown.
    bool shown(const sim::Device& d) const {
        if (vendor_ < 0 || d.descriptor.idVendor == vendor_) return true;
        if (!d.isHub) return false;
        for (const sim::Port& port : d.hub.ports)
            if (port.device && shown(*port.device)) return true;
        return false;
    }

    void line(const std::string& text) const {
        if (print_) std::printf("%s\n", text.c_str());
    }

    void ports(const sim::Hub& hub, int depth, const std::string& indent, const std::string& path) {
        for (size_t i = 0; i < hub.ports.size(); ++i) {
            const sim::Port& port = hub.ports[i];
            if (!port.device || !shown(*port.device)) continue;
            device(*port.device, i + 1, depth, indent, path + (path.back() == ':' ? "" : ".") + std::to_string(i + 1));
        }
    }

    void device(const sim::Device& d, size_t port, int depth, const std::string& indent, const std::string& path) {
        std::string texts;
        for (uint8_t index : {d.descriptor.iManufacturer, d.descriptor.iProduct, d.descriptor.iSerialNumber}) {
            std::string text = deviceText(d, index);
            if (!text.empty()) texts += (texts.empty() ? " " : " / ") + ("\"" + text + "\"");
        }
        std::string service = d.node.service.value_or("");
        line(indent + "port " + std::to_string(port) + ": " + (d.isHub ? "hub " : "") +
             ids(d.descriptor.idVendor, d.descriptor.idProduct) + texts + ", " +
             (service.empty() ? std::string("no driver service") : "service " + service));
        for (const sim::HidInterface& h : d.hidInterfaces)
            line(indent + "  HID interface " + ids(h.vendorId, h.productId) + ", reports of " +
                 std::to_string(h.behaviour.inputReportLength) + "/" + std::to_string(h.behaviour.outputReportLength) +
                 " bytes in/out, " + (h.behaviour.kind == sim::HidReportKind::Echo ? "echo" : "silent"));
        auto record = records_.find(lower(d.usbInterface.path));
        if (record != records_.end()) {
            line(indent + "  listed: " + record->second);
        } else {
            line(indent + "  not listed: " + whyNot(d, depth));
            if (!d.isHub)
                unlisted_.push_back("port " + path + ": " + ids(d.descriptor.idVendor, d.descriptor.idProduct) +
                                    " will not be listed: " + whyNot(d, depth));
        }
        if (d.isHub) {
            line(indent + "  " + std::to_string(d.hub.ports.size()) + " port(s)");
            ports(d.hub, depth + 1, indent + "    ", path);
        }
    }

    std::string whyNot(const sim::Device& d, int depth) const {
        if (depth >= kWalkedHubs) return "behind more hubs than the walk goes through";
        if (d.isHub) return "a hub";
        if (!d.node.service || d.node.service->empty()) return "no driver service";
        if (vendor_ >= 0 && d.descriptor.idVendor != vendor_) return "another vendor";
        return "the walk does not find it (see the device's faults)";
    }

    const std::map<std::string, std::string>& records_;
    int vendor_;
    bool print_;
    std::vector<std::string> unlisted_;
};

}  // namespace

int showBench(const std::string& path, int vendor, bool warningsOnly) {
    sim::Machine machine;
    std::string error;
    if (!sim::loadBenchFile(path, &machine, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // What the library lists, walked over this machine, by device path.
    sim::installMachine(machine);
    std::map<std::string, std::string> records;
    int32_t list = DeviceListRegistry::create(vendor < 0 ? 0xFFFF : vendor);
    for (DeviceEntry* e = list < 0 ? nullptr : DeviceListRegistry::nextEntry(list, nullptr); e != nullptr;
         e = DeviceListRegistry::nextEntry(list, e)) {
        char record[kDescriptionRecordSize];
        formatDescriptionRecord(*e, record);
        if (e->devicePath != nullptr) records[lower(e->devicePath)] = record;
    }
    if (list >= 0) DeviceListRegistry::release(list);
    releaseWalkState();

    if (!warningsOnly)
        std::printf("%s: %zu device(s) listed%s\n", path.c_str(), records.size(),
                    vendor < 0 ? "" : (" of vendor " + ids(static_cast<uint16_t>(vendor), 0).substr(0, 4)).c_str());
    Tree tree(records, vendor, !warningsOnly);
    for (size_t i = 0; i < machine.controllers.size(); ++i) tree.controller(i, machine.controllers[i]);
    if (warningsOnly)
        for (const std::string& warning : tree.unlisted()) std::printf("%s: warning: %s\n", path.c_str(), warning.c_str());
    return 0;
}
