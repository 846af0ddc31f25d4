#include "tools/bench/serial_mask.h"

#include <cstdio>
#include <functional>
#include <string>

#include "platform/sim/model/text.h"
#include "tools/bench/descriptor_text.h"

namespace bench_tool {
namespace {

// Replaces every occurrence of what, in any case (paths are lower-cased).
void replaceNoCase(std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return;
    std::string lower = sim::lowerAscii(text), wanted = sim::lowerAscii(what);
    std::string out;
    size_t from = 0;
    for (size_t at = lower.find(wanted); at != std::string::npos; at = lower.find(wanted, from)) {
        out += text.substr(from, at - from) + with;
        from = at + what.size();
    }
    text = out + text.substr(from);
}

void replaceNoCase(std::optional<std::string>& text, const std::string& what, const std::string& with) {
    if (text) replaceNoCase(*text, what, with);
}

std::vector<uint8_t> asciiStringDescriptor(const std::string& text) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}


void maskDevice(sim::Device& d, int* count) {
    uint8_t index = d.descriptor.iSerialNumber;
    auto found = d.strings.find(index);
    if (index == 0 || found == d.strings.end()) return;
    char mask[24];
    std::snprintf(mask, sizeof mask, "SERIAL%04d", ++*count);
    for (auto& byLanguage : found->second) {
        std::string serial = stringDescriptorText(byLanguage.second.bytes);
        if (byLanguage.second.failWith != 0 || serial.empty()) continue;
        byLanguage.second.bytes = asciiStringDescriptor(mask);
        replaceNoCase(d.node.instanceId, serial, mask);
        replaceNoCase(d.usbInterface.path, serial, mask);
        replaceNoCase(d.fixedClassInterface.path, serial, mask);
        replaceNoCase(d.hub.name, serial, mask);
        replaceNoCase(d.hub.interface.path, serial, mask);
        for (sim::HidInterface& h : d.hidInterfaces) {
            replaceNoCase(h.serialNumber, serial, mask);
            replaceNoCase(h.node.instanceId, serial, mask);
            replaceNoCase(h.interface.path, serial, mask);
        }
    }
}

}  // namespace

void maskSerials(sim::Machine* machine) {
    int count = 0;
    std::function<void(std::vector<sim::Port>&)> walk = [&](std::vector<sim::Port>& ports) {
        for (sim::Port& port : ports) {
            if (!port.device) continue;
            maskDevice(*port.device, &count);
            if (port.device->isHub) walk(port.device->hub.ports);
        }
    };
    for (sim::HostController& c : machine->controllers) walk(c.rootHub.ports);
}

}  // namespace bench_tool
