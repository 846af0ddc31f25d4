// A Linux USB tree as a bench. Root hubs ("usbN") become host controllers,
// with the ids of their PCI parents; every other USB device sits on the
// port its name ends with ("1-2.3": port 3 of the hub "1-2"). A device's
// Windows service stands for the Linux drivers of its interfaces (a hub,
// known by its descriptors, has its ports instead):
//
//   usbhid         HidUsb    (a HID interface per usbhid interface)
//   usb-storage    USBSTOR
//   uas            UASPStor
//   cdc_acm        usbser
//   snd-usb-audio  usbaudio
//   btusb          BTHUSB
//
// A device that no Linux driver holds, or only drivers not in the table,
// gets no service, as Windows leaves a device it has no driver for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/bench/linux_devices.h"

namespace bench_tool {
namespace {

using Json = nlohmann::ordered_json;

std::string trimmed(const std::string& text) {
    size_t end = text.find_last_not_of(" \n\r\t");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }
std::string parentOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

uint32_t hexAttribute(const LinuxDevice& d, const char* name) {
    auto it = d.attributes.find(name);
    return it == d.attributes.end() ? 0 : static_cast<uint32_t>(std::strtoul(trimmed(it->second).c_str(), nullptr, 16));
}

std::string hexNumber(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string hexBytes(const std::string& bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", static_cast<uint8_t>(bytes[i]));
        out += pair;
    }
    return out;
}

// The driver of a device or interface: its driver link, or DRIVER= of a recording.
std::string driverOf(const LinuxDevice& d) {
    auto link = d.links.find("driver");
    if (link != d.links.end()) return baseName(link->second);
    auto property = d.properties.find("DRIVER");
    return property == d.properties.end() ? std::string() : property->second;
}

// The largest report, in bytes, that a HID report descriptor declares
// (input or output; a report id byte is not counted).
uint32_t largestReport(const std::string& descriptor) {
    uint32_t size = 0, count = 0;
    std::map<uint32_t, uint32_t> bits;  // (kind << 8 | report id) -> bits
    uint32_t reportId = 0;
    for (size_t at = 0; at < descriptor.size();) {
        uint8_t prefix = static_cast<uint8_t>(descriptor[at]);
        if (prefix == 0xFE) {  // long item
            if (at + 1 >= descriptor.size()) break;
            at += 3 + static_cast<uint8_t>(descriptor[at + 1]);
            continue;
        }
        size_t length = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (at + 1 + length > descriptor.size()) break;
        uint32_t value = 0;
        for (size_t i = 0; i < length; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(descriptor[at + 1 + i])) << (8 * i);
        switch (prefix & 0xFC) {
        case 0x74: size = value; break;      // Report Size
        case 0x94: count = value; break;     // Report Count
        case 0x84: reportId = value; break;  // Report ID
        case 0x80:                           // Input
        case 0x90:                           // Output
            bits[(prefix & 0xFC) << 8 | reportId] += size * count;
            break;
        default: break;
        }
        at += 1 + length;
    }
    uint32_t largest = 0;
    for (const auto& report : bits) largest = report.second > largest ? report.second : largest;
    return (largest + 7) / 8;
}

uint8_t byteAt(const std::string& bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

class LinuxMachine {
public:
    LinuxMachine(const std::vector<LinuxDevice>& devices, const std::string& source) : source_(source) {
        for (const LinuxDevice& d : devices) byPath_[d.path] = &d;
        // Children by parent, once: the import stays linear in the devices.
        for (const auto& entry : byPath_) children_[parentOf(entry.first)].push_back(entry.second);
    }

    bool write(std::string* bench, std::string* error) {
        Json controllers = Json::array();
        for (const auto& entry : byPath_) {
            const LinuxDevice& d = *entry.second;
            if (!isUsbDevice(d)) continue;
            if (!attributesFit(d, error) || !descriptorsAgree(d, error)) return false;
            if (isRootHub(d)) {
                if (!pciFits(d, error)) return false;
                controllers.push_back(controller(d));
                continue;
            }
            auto parent = byPath_.find(parentOf(d.path));
            if (parent == byPath_.end() || !isUsbDevice(*parent->second)) {
                *error = where(d, nullptr) + baseName(d.path) + ": its hub " + baseName(parentOf(d.path)) +
                         " is not recorded, so the device has no place (is the recording cut short?)";
                return false;
            }
        }
        if (controllers.empty()) {
            *error = source_ + ": no USB root hub among the devices";
            return false;
        }
        // Texts that are not UTF-8 (a damaged recording) are written with U+FFFD
        // in place of each bad byte: the JSON writer would otherwise throw.
        *bench = Json{{"controllers", controllers}}.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
        return true;
    }

private:
    static bool isUsbDevice(const LinuxDevice& d) {
        auto type = d.properties.find("DEVTYPE");
        if (type != d.properties.end()) return type->second == "usb_device";
        return d.attributes.count("descriptors") != 0 && d.attributes.count("idVendor") != 0;
    }

    static bool isRootHub(const LinuxDevice& d) { return baseName(d.path).rfind("usb", 0) == 0; }

    // "SOURCE:LINE: " for an attribute of a recording (the device's line when
    // the attribute has none), "PATH/ATTRIBUTE: " for a sysfs tree.
    std::string where(const LinuxDevice& d, const char* attribute) const {
        int line = d.line;
        if (attribute != nullptr) {
            auto found = d.attributeLines.find(attribute);
            if (found != d.attributeLines.end()) line = found->second;
        }
        if (line > 0) return source_ + ":" + std::to_string(line) + ": ";
        return d.path + (attribute != nullptr ? std::string("/") + attribute : std::string()) + ": ";
    }

    // A numeric attribute no larger than its field in the bench can hold.
    bool inRange(const LinuxDevice& d, const char* name, unsigned long long most, int base, std::string* error) const {
        auto found = d.attributes.find(name);
        if (found == d.attributes.end()) return true;
        unsigned long long value = std::strtoull(trimmed(found->second).c_str(), nullptr, base);
        if (value <= most) return true;
        *error = where(d, name) + name + " " + trimmed(found->second) + " is out of range (at most " +
                 (base == 16 ? hexNumber(static_cast<uint32_t>(most), 2) : std::to_string(most)) + ")";
        return false;
    }

    // The ids and counts a device's attributes give fit the bench's fields.
    bool attributesFit(const LinuxDevice& d, std::string* error) const {
        return inRange(d, "idVendor", 0xFFFF, 16, error) && inRange(d, "idProduct", 0xFFFF, 16, error) &&
               inRange(d, "bcdDevice", 0xFFFF, 16, error) && inRange(d, "maxchild", 255, 10, error);
    }

    // The PCI ids of a root hub's controller fit the bench's fields.
    bool pciFits(const LinuxDevice& root, std::string* error) const {
        auto pci = byPath_.find(parentOf(root.path));
        if (pci == byPath_.end()) return true;
        const LinuxDevice& p = *pci->second;
        return inRange(p, "vendor", 0xFFFF, 16, error) && inRange(p, "device", 0xFFFF, 16, error) &&
               inRange(p, "subsystem_vendor", 0xFFFF, 16, error) && inRange(p, "subsystem_device", 0xFFFF, 16, error) &&
               inRange(p, "revision", 0xFF, 16, error);
    }

    // The ids the attributes give must be the descriptor's, and the first
    // configuration must hold the bytes its wTotalLength claims.
    bool descriptorsAgree(const LinuxDevice& d, std::string* error) const {
        const std::string descriptors = attribute(d, "descriptors");
        if (descriptors.empty()) return true;
        if (descriptors.size() < 18) {
            *error = where(d, "descriptors") + "descriptors: " + std::to_string(descriptors.size()) +
                     " bytes, fewer than a device descriptor's 18";
            return false;
        }
        struct Field { const char* name; size_t offset; };
        for (const Field& field : {Field{"idVendor", 8}, Field{"idProduct", 10}, Field{"bcdDevice", 12}}) {
            if (d.attributes.count(field.name) == 0) continue;
            uint32_t fromDescriptor = byteAt(descriptors, field.offset) | byteAt(descriptors, field.offset + 1) << 8;
            if (hexAttribute(d, field.name) != fromDescriptor) {
                *error = where(d, field.name) + field.name + " " + trimmed(attribute(d, field.name)) +
                         " contradicts the device descriptor, which says " + hexNumber(fromDescriptor, 4);
                return false;
            }
        }
        if (descriptors.size() >= 22) {
            size_t total = byteAt(descriptors, 20) | byteAt(descriptors, 21) << 8;
            if (total > descriptors.size() - 18) {
                *error = where(d, "descriptors") + "descriptors: the configuration claims " + std::to_string(total) +
                         " bytes, but " + std::to_string(descriptors.size() - 18) + " are recorded";
                return false;
            }
        }
        return true;
    }

    const std::vector<const LinuxDevice*>& childrenOf(const std::string& path) const {
        static const std::vector<const LinuxDevice*> none;
        auto found = children_.find(path);
        return found == children_.end() ? none : found->second;
    }

    // A hub by its device class, a hub interface in its configuration, or a
    // recorded interface the hub driver holds. Recordings hold a device's
    // ancestors but not their interfaces, so the descriptors must do.
    bool isHub(const LinuxDevice& d) const {
        const std::string descriptors = attribute(d, "descriptors");
        if (descriptors.size() >= 18 && byteAt(descriptors, 4) == 9) return true;
        if (d.attributes.count("bDeviceClass") != 0 && hexAttribute(d, "bDeviceClass") == 9) return true;
        for (size_t at = 18; at + 6 <= descriptors.size();) {
            uint8_t length = byteAt(descriptors, at);
            if (length < 2) break;
            if (byteAt(descriptors, at + 1) == 4 && length >= 9 && byteAt(descriptors, at + 5) == 9) return true;
            at += length;
        }
        for (const LinuxDevice* child : childrenOf(d.path))
            if (!isUsbDevice(*child) && (driverOf(*child) == "hub" ||
                                         (child->attributes.count("bInterfaceClass") != 0 &&
                                          hexAttribute(*child, "bInterfaceClass") == 9)))
                return true;
        return false;
    }

    Json controller(const LinuxDevice& root) const {
        Json c;
        auto pci = byPath_.find(parentOf(root.path));
        if (pci != byPath_.end()) {
            const LinuxDevice& p = *pci->second;
            c["pci"] = {{"vendor", hexNumber(hexAttribute(p, "vendor"), 4)},
                        {"device", hexNumber(hexAttribute(p, "device"), 4)},
                        {"subsystem", hexNumber(hexAttribute(p, "subsystem_device") << 16 | hexAttribute(p, "subsystem_vendor"), 8)},
                        {"revision", hexNumber(hexAttribute(p, "revision"), 2)}};
        } else {
            c["instanceId"] = "ROOT\\USB\\" + baseName(root.path);
        }
        c["rootHub"] = hub(root);
        return c;
    }

    // Its ports: as many as maxchild says, or up to the highest port a child
    // of the recording sits on (4 when neither is known).
    Json hub(const LinuxDevice& d) const {
        Json ports = Json::object();
        uint32_t highest = 0;
        for (const LinuxDevice* child : childrenOf(d.path)) {
            if (!isUsbDevice(*child)) continue;
            std::string name = baseName(child->path);
            size_t cut = name.find_last_of("-.");
            if (cut == std::string::npos) continue;
            unsigned long number = std::strtoul(name.c_str() + cut + 1, nullptr, 10);
            if (number == 0 || number > 255) continue;
            uint32_t port = static_cast<uint32_t>(number);
            highest = port > highest ? port : highest;
            ports[std::to_string(port)] = device(*child);
        }
        uint32_t count = static_cast<uint32_t>(std::strtoul(trimmed(attribute(d, "maxchild")).c_str(), nullptr, 10));
        Json h;
        h["portCount"] = count > highest ? count : (highest > 0 ? highest : 4);
        h["ports"] = ports;
        return h;
    }

    static std::string attribute(const LinuxDevice& d, const char* name) {
        auto it = d.attributes.find(name);
        return it == d.attributes.end() ? std::string() : it->second;
    }

    Json device(const LinuxDevice& d) const {
        Json out;
        out["vendorId"] = hexNumber(hexAttribute(d, "idVendor"), 4);
        out["productId"] = hexNumber(hexAttribute(d, "idProduct"), 4);
        out["release"] = hexNumber(hexAttribute(d, "bcdDevice"), 4);
        std::string descriptors = attribute(d, "descriptors");
        if (descriptors.size() >= 18) {
            out["usbVersion"] = hexNumber(byteAt(descriptors, 2) | byteAt(descriptors, 3) << 8, 4);
            out["deviceClass"] = {byteAt(descriptors, 4), byteAt(descriptors, 5), byteAt(descriptors, 6)};
            // The first configuration, as long as its wTotalLength says.
            std::string config = descriptors.substr(18);
            if (config.size() >= 4) {
                size_t total = byteAt(config, 2) | byteAt(config, 3) << 8;
                out["configurationBytes"] = hexBytes(config.substr(0, total));
            }
        }
        double speed = std::strtod(trimmed(attribute(d, "speed")).c_str(), nullptr);
        out["speed"] = speed >= 5000 ? "super" : speed >= 480 ? "high" : speed >= 12 ? "full" : "low";
        for (const auto& text : {std::pair<const char*, const char*>{"manufacturer", "manufacturer"},
                                 {"product", "product"}, {"serial", "serialNumber"}})
            if (d.attributes.count(text.first)) out[text.second] = trimmed(attribute(d, text.first));
        if (isHub(d)) {
            out["hub"] = hub(d);
            return out;
        }

        std::string service;
        Json hidInterfaces = Json::array();
        for (const LinuxDevice* child : childrenOf(d.path)) {
            if (isUsbDevice(*child)) continue;
            std::string driver = driverOf(*child);
            static const std::map<std::string, std::string> services = {
                {"usbhid", "HidUsb"}, {"usb-storage", "USBSTOR"},   {"uas", "UASPStor"},
                {"cdc_acm", "usbser"}, {"snd-usb-audio", "usbaudio"}, {"btusb", "BTHUSB"}};
            auto found = services.find(driver);
            if (found == services.end()) continue;
            if (service.empty()) service = found->second;
            if (driver == "usbhid") {
                Json h = Json::object();
                for (const LinuxDevice* hid : childrenOf(child->path)) {
                    uint32_t bytes = largestReport(attribute(*hid, "report_descriptor"));
                    if (bytes != 0) h["reportBytes"] = bytes;
                }
                hidInterfaces.push_back(h);
            }
        }
        if (service == "HidUsb") {
            out["setupClass"] = "HIDClass";
            out["description"] = "USB Input Device";
            out["hidInterfaces"] = hidInterfaces;
        } else if (service == "USBSTOR") {
            out["description"] = "USB Mass Storage Device";
        }
        out["service"] = service.empty() ? Json(nullptr) : Json(service);
        return out;
    }

    std::string source_;
    std::map<std::string, const LinuxDevice*> byPath_;
    std::map<std::string, std::vector<const LinuxDevice*>> children_;
};

}  // namespace

bool linuxBench(const std::vector<LinuxDevice>& devices, const std::string& source, std::string* bench,
               std::string* error) {
    return LinuxMachine(devices, source).write(bench, error);
}

}  // namespace bench_tool
