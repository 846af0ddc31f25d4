#include "desk_infs.h"

#include <map>
#include <set>

namespace desk {
namespace {

// The class GUIDs of the setup classes a bench may name (Microsoft Learn,
// "System-Defined Device Setup Classes Available to Vendors").
const std::map<std::string, std::string>& classGuids() {
    static const std::map<std::string, std::string> guids = {
        {"USB", "{36fc9e60-c465-11cf-8056-444553540000}"},
        {"USBDevice", "{88bae032-5a81-49f0-bc3d-a4ff138216d6}"},
        {"HIDClass", "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}"},
        {"System", "{4d36e97d-e325-11ce-bfc1-08002be10318}"},
        {"Ports", "{4d36e978-e325-11ce-bfc1-08002be10318}"},
        {"DiskDrive", "{4d36e967-e325-11ce-bfc1-08002be10318}"},
        {"MEDIA", "{4d36e96c-e325-11ce-bfc1-08002be10318}"},
        {"Image", "{6bdd1fc6-810f-11d0-bec7-08002be2092f}"},
        {"Net", "{4d36e972-e325-11ce-bfc1-08002be10318}"},
        {"Bluetooth", "{e0cbf06c-cd8b-4647-bb8a-263b43f0f974}"},
        {"Keyboard", "{4d36e96b-e325-11ce-bfc1-08002be10318}"},
        {"Mouse", "{4d36e96f-e325-11ce-bfc1-08002be10318}"},
        {"WPD", "{eec5ad98-8080-425f-922a-dabf3de3f69a}"},
    };
    return guids;
}

// An INF string: quoted, with quotes doubled and percent signs escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += "\"\"";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out + "\"";
}

}  // namespace

std::string classGuid(const std::string& setupClass) {
    auto found = classGuids().find(setupClass);
    return found == classGuids().end() ? std::string() : found->second;
}

std::map<std::string, std::string> deskInfs(const std::vector<DeskNode>& nodes, std::vector<std::string>* unknownClasses) {
    struct Entry {
        std::string hardwareId, description, service;
    };
    std::map<std::string, std::vector<Entry>> byClass;
    std::set<std::string> seen;
    for (const DeskNode& node : nodes) {
        std::vector<std::string> ids = node.hardwareIds();
        if (ids.empty() || ids[0].empty() || !seen.insert(ids[0]).second) continue;
        if (classGuid(node.setupClass()).empty()) {
            unknownClasses->push_back(node.setupClass());
            continue;
        }
        byClass[node.setupClass()].push_back({ids[0], node.description(), node.service()});
    }

    std::map<std::string, std::string> infs;
    for (const auto& entry : byClass) {
        std::string models, sections, strings, services;
        std::set<std::string> serviceSections;
        for (size_t i = 0; i < entry.second.size(); ++i) {
            const Entry& e = entry.second[i];
            std::string install = "node" + std::to_string(i);
            models += "%desc" + std::to_string(i) + "%=" + install + "," + e.hardwareId + "\r\n";
            strings += "desc" + std::to_string(i) + "=" + quoted(e.description) + "\r\n";
            sections += "[" + install + ".NT]\r\n\r\n[" + install + ".NT.Services]\r\n";
            if (e.service.empty()) {
                // No function driver: the device node is installed and starts raw.
                sections += "AddService=,0x2\r\n\r\n";
            } else {
                sections += "AddService=" + e.service + ",0x2,service_" + e.service + "\r\n\r\n";
                if (serviceSections.insert(e.service).second)
                    services += "[service_" + e.service + "]\r\nServiceBinary=%12%\\" + passThroughFile(e.service) +
                                "\r\nServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n\r\n";
            }
        }
        infs[entry.first] = "[Version]\r\nSignature=\"$Chicago$\"\r\nClass=" + entry.first + "\r\nClassGuid=" +
                            classGuid(entry.first) +
                            "\r\nProvider=%Provider%\r\nDriverVer=01/01/2026,1.0.0.0\r\n\r\n"
                            "[Manufacturer]\r\n%Provider%=desk,NTamd64\r\n\r\n[desk.NTamd64]\r\n" +
                            models + "\r\n" + sections + services + "[Strings]\r\nProvider=\"" + kDeskProvider + "\"\r\n" +
                            strings;
    }
    return infs;
}

const char* const kDeskProvider = "Tamberlyx Wine desk";

std::string passThroughFile(const std::string& service) { return "desk_" + service + ".sys"; }

bool servedByHidMinidriver(const std::string& service) {
    std::string lower;
    for (char c : service) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == "hidusb";
}

}  // namespace desk
