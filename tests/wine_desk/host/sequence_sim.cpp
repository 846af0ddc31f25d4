// The comparison's sequence through the same 19 methods linked over the
// simulated stack: the bench TAMBERLYX_BENCH names, or the built-in one.
//
//   desk_sequence_sim.exe [--wine-names FILE]
//
// FILE holds what Wine named over the desk (see sequence_desk.cpp), and
// the machine answers with those names.
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jni/exports.h"
#include "listing.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "platform/sim/model/text.h"
#include "platform/sim/os/spawn_rules.h"
#include "sequence.h"

namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> parts;
    for (size_t at = 0;;) {
        size_t tab = line.find('\t', at);
        parts.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) return parts;
        at = tab + 1;
    }
}

// Every device below the hub, depth first.
void forEachDevice(sim::Hub& hub, const std::function<void(sim::Device&)>& visit) {
    for (sim::Port& port : hub.ports) {
        if (!port.device) continue;
        visit(*port.device);
        if (port.device->isHub) forEachDevice(port.device->hub, visit);
    }
}

std::string lastPart(const std::string& instanceId) { return instanceId.substr(instanceId.rfind('\\') + 1); }

// Answers with the names Wine gave the desk's machine (see
// sequence_desk.cpp): each node's driver key, wherever the machine answers
// it (SetupAPI, the hub, the host controller), and the path and instance id
// Wine's HID class driver gives a device's collection (named after the
// device's instance).
void answerWithWineNames(const char* path) {
    std::map<std::string, std::string> driverKeys;  // by upper-case instance id
    std::set<std::string> hidPaths;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f = fields(line);
        if (f[0] == "node" && f.size() == 3) driverKeys[sim::upperAscii(f[1])] = f[2];
        if (f[0] == "hid" && f.size() == 2) hidPaths.insert(f[1]);
    }
    sim::withMachine([&](sim::Machine& machine) {
        std::map<std::string, std::string> renamed;  // old driver key (upper case) -> Wine's
        auto rename = [&](sim::DevNode& node) {
            auto found = driverKeys.find(sim::upperAscii(node.instanceId.value_or("")));
            if (found == driverKeys.end()) return;
            if (node.driver) renamed[sim::upperAscii(*node.driver)] = found->second;
            node.driver = found->second;
        };
        auto answer = [&](std::string& key) {
            auto found = renamed.find(sim::upperAscii(key));
            if (found != renamed.end()) key = found->second;
        };
        auto nameCollection = [&](sim::Device& device) {
            if (device.hidInterfaces.empty() || !device.node.instanceId) return;
            sim::HidInterface& hid = device.hidInterfaces[0];
            std::string id = hid.node.instanceId.value_or("");
            size_t from = id.find('\\') + 1, to = id.find('\\', from);
            if (from == 0 || to == std::string::npos) return;
            std::string wineId = "HID\\" + id.substr(from, to - from) + "\\" + lastPart(*device.node.instanceId);
            // A symbolic link: the instance id with '#' for '\\', in lower case.
            std::string link = sim::lowerAscii(wineId);
            for (char& c : link)
                if (c == '\\') c = '#';
            std::string winePath = "\\\\?\\" + link + "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
            if (hidPaths.count(winePath) == 0) return;
            hid.node.instanceId = sim::upperAscii(wineId);
            hid.interface.path = winePath;
        };
        // Every node is renamed first, so that every key a hub or controller
        // reports is known by then.
        for (sim::HostController& controller : machine.controllers) {
            rename(controller.node);
            rename(controller.rootHubNode);
            forEachDevice(controller.rootHub, [&](sim::Device& device) {
                rename(device.node);
                nameCollection(device);
            });
        }
        for (sim::HostController& controller : machine.controllers) {
            answer(controller.driverKey);
            forEachDevice(controller.rootHub, [&](sim::Device& device) { answer(device.driverKey); });
        }
    });
}

// The companion's runs: each "_spawnv" call ("PATH | ARGUMENTS") as the
// recording companion logs it, its argument count and first argument.
std::vector<std::string> journalledCompanionRuns() {
    std::vector<std::string> runs;
    for (const sim::JournalRecord& record : sim::journal()) {
        size_t bar = record.arguments.find(" | ");
        if (record.operation != "_spawnv" || bar == std::string::npos) continue;
        std::vector<std::string> arguments = sim::splitCommandLine(record.arguments.substr(bar + 3));
        runs.push_back(std::to_string(arguments.size()) + " " + (arguments.size() >= 2 ? arguments[1] : "-"));
    }
    return runs;
}

}  // namespace

int main(int argc, char** argv) {
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
    BIND(usbResetDevice);
    BIND(usbWriteControlPipe);
    BIND(usbReadControlPipe);
    BIND(usbWriteBulkPipe);
    BIND(usbReadBulkPipe);
    BIND(usbWriteInterruptPipe);
    BIND(usbReadInterruptPipe);
    BIND(usbCancelPipeTransfer);
    BIND(usbGetDeviceDescriptor);
#undef BIND
    if (argc > 2 && std::string(argv[1]) == "--wine-names") answerWithWineNames(argv[2]);
    std::filesystem::create_directories(sim::hostPath("c:\\temp"));
    sim::Machine machine = sim::machineCopy();
    // The companion runs as the simulated machine's programs do: the call
    // is recorded in the journal (this build runs no host program).
    sim::startJournal();
    DeskHands hands{[&machine](const std::vector<uint32_t>& location, bool present) {
                        if (!present) return sim::unplugDevice(location);
                        sim::Port* port = sim::findPort(machine, location);
                        return port != nullptr && port->device && sim::plugDevice(location, *port->device);
                    },
                    journalledCompanionRuns};
    return runSequence(linked, machine, hands);
}
