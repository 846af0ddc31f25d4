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
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/model/bench_keys.h"
#include "platform/sim/model/machine_builder.h"
#include "tools/bench/bench_writer.h"
#include "tools/bench/linux_devices.h"

namespace bench_tool {
namespace {

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

// The driver of a device or interface: its driver link, or DRIVER= of a recording.
std::string driverOf(const LinuxDevice& d) {
    auto link = d.links.find("driver");
    if (link != d.links.end()) return baseName(link->second);
    auto property = d.properties.find("DRIVER");
    return property == d.properties.end() ? std::string() : property->second;
}

// The most data bytes a bench gives a report (its report lengths count a
// report id byte besides, up to 4096).
constexpr uint64_t kLargestReport = 4095;

// The largest report, in bytes, that a HID report descriptor declares
// (input or output; a report id byte is not counted).
uint64_t largestReport(const std::string& descriptor) {
    uint64_t size = 0, count = 0;
    std::map<uint32_t, uint64_t> bits;  // (kind << 8 | report id) -> bits
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
    uint64_t largest = 0;
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

    bool build(sim::Machine* machine, std::string* error) {
        sim::MachineBuilder builder;
        size_t controllers = 0;
        for (const auto& entry : byPath_) {
            const LinuxDevice& d = *entry.second;
            if (!isUsbDevice(d)) continue;
            if (!attributesFit(d, error) || !descriptorsAgree(d, error) || !reportsFit(d, error)) return false;
            if (isRootHub(d)) {
                if (!pciFits(d, error)) return false;
                builder.controller(controller(d, sim::controllerPlace(controllers++)));
                continue;
            }
            auto parent = byPath_.find(parentOf(d.path));
            if (parent == byPath_.end() || !isUsbDevice(*parent->second)) {
                *error = where(d, nullptr) + baseName(d.path) + ": its hub " + baseName(parentOf(d.path)) +
                         " is not recorded, so the device has no place (is the recording cut short?)";
                return false;
            }
        }
        if (controllers == 0) {
            *error = source_ + ": no USB root hub among the devices";
            return false;
        }
        *machine = builder.build();
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

    sim::ControllerBuilder controller(const LinuxDevice& root, const std::string& place) const {
        sim::ControllerBuilder c;
        c.identity(sim::benchIdentity(place));
        auto pci = byPath_.find(parentOf(root.path));
        if (pci != byPath_.end()) {
            const LinuxDevice& p = *pci->second;
            c.pci(static_cast<uint16_t>(hexAttribute(p, "vendor")), static_cast<uint16_t>(hexAttribute(p, "device")),
                  hexAttribute(p, "subsystem_device") << 16 | hexAttribute(p, "subsystem_vendor"),
                  static_cast<uint8_t>(hexAttribute(p, "revision")));
        } else {
            c.instanceId("ROOT\\USB\\" + baseName(root.path));
        }
        c.rootHub(hub(root, place));
        return c;
    }

    // Its ports: as many as maxchild says, or up to the highest port a child
    // of the recording sits on (4 when neither is known).
    sim::HubBuilder hub(const LinuxDevice& d, const std::string& place) const {
        std::map<uint32_t, sim::Device> ports;
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
            ports[port] = device(*child, sim::portPlace(place, port));
        }
        uint32_t count = static_cast<uint32_t>(std::strtoul(trimmed(attribute(d, "maxchild")).c_str(), nullptr, 10));
        sim::HubBuilder h(static_cast<uint8_t>(count > highest ? count : (highest > 0 ? highest : 4)));
        for (const auto& port : ports) h.device(port.first, port.second);
        return h;
    }

    static std::string attribute(const LinuxDevice& d, const char* name) {
        auto it = d.attributes.find(name);
        return it == d.attributes.end() ? std::string() : it->second;
    }

    // The three usual strings a device's attributes give.
    struct Strings {
        std::optional<std::string> manufacturer, product, serialNumber;
    };

    static Strings stringsOf(const LinuxDevice& d) {
        Strings out;
        if (d.attributes.count("manufacturer")) out.manufacturer = trimmed(attribute(d, "manufacturer"));
        if (d.attributes.count("product")) out.product = trimmed(attribute(d, "product"));
        if (d.attributes.count("serial")) out.serialNumber = trimmed(attribute(d, "serial"));
        return out;
    }

    static void setStrings(const Strings& strings, sim::DeviceBuilder* b) {
        if (strings.manufacturer) b->manufacturer(*strings.manufacturer);
        if (strings.product) b->product(*strings.product);
        if (strings.serialNumber) b->serialNumber(*strings.serialNumber);
    }

    sim::Device device(const LinuxDevice& d, const std::string& place) const {
        uint16_t vendorId = static_cast<uint16_t>(hexAttribute(d, "idVendor"));
        uint16_t productId = static_cast<uint16_t>(hexAttribute(d, "idProduct"));
        uint16_t release = static_cast<uint16_t>(hexAttribute(d, "bcdDevice"));
        sim::DeviceBuilder b(vendorId, productId);
        b.identity(sim::benchIdentity(place)).release(release);
        std::string descriptors = attribute(d, "descriptors");
        std::optional<std::vector<uint8_t>> configuration;
        if (descriptors.size() >= 18) {
            b.usbVersion(static_cast<uint16_t>(byteAt(descriptors, 2) | byteAt(descriptors, 3) << 8));
            b.deviceClass(byteAt(descriptors, 4), byteAt(descriptors, 5), byteAt(descriptors, 6));
            // The first configuration, as long as its wTotalLength says.
            std::string config = descriptors.substr(18);
            if (config.size() >= 4) {
                size_t total = byteAt(config, 2) | byteAt(config, 3) << 8;
                config = config.substr(0, total);
                configuration = std::vector<uint8_t>(config.begin(), config.end());
            }
        }
        double speed = std::strtod(trimmed(attribute(d, "speed")).c_str(), nullptr);
        b.speed(speed >= 5000 ? sim::Speed::Super
                : speed >= 480 ? sim::Speed::High
                : speed >= 12  ? sim::Speed::Full
                               : sim::Speed::Low);
        Strings strings = stringsOf(d);
        setStrings(strings, &b);
        // A hub takes the hub's class and configuration, then the recorded
        // configuration replaces the latter.
        if (isHub(d)) b.hub(hub(d, place));
        if (configuration) b.configurationBytes(*configuration);
        if (isHub(d)) return b.build();

        std::string service;
        std::vector<uint32_t> hidReports;  // per usbhid interface, its largest report (0: not known)
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
                uint32_t bytes = 0;
                for (const LinuxDevice* hid : childrenOf(child->path)) {
                    uint64_t largest = largestReport(attribute(*hid, "report_descriptor"));
                    if (largest != 0) bytes = static_cast<uint32_t>(largest);
                }
                hidReports.push_back(bytes);
            }
        }
        if (service == "HidUsb") {
            b.setupClass("HIDClass").description("USB Input Device");
        } else if (service == "USBSTOR") {
            b.description("USB Mass Storage Device");
        }
        if (!service.empty()) b.service(service);
        sim::Device built = b.build();
        if (service != "HidUsb") return built;
        for (size_t i = 0; i < hidReports.size(); ++i) {
            // Each HID interface carries the device's ids and strings, with
            // a path of its own.
            sim::DeviceBuilder copy(vendorId, productId);
            copy.identity(sim::benchIdentity(sim::hidInterfacePlace(place, i))).release(release).hidInterface();
            setStrings(strings, &copy);
            sim::HidInterface h = copy.build().hidInterfaces[0];
            // The largest report's data and the report id byte.
            if (hidReports[i] != 0)
                h.behaviour.inputReportLength = h.behaviour.outputReportLength = hidReports[i] + 1;
            built.hidInterfaces.push_back(h);
        }
        return built;
    }

    // Every report a HID interface declares fits a bench's report lengths.
    bool reportsFit(const LinuxDevice& d, std::string* error) const {
        for (const LinuxDevice* child : childrenOf(d.path)) {
            if (isUsbDevice(*child) || driverOf(*child) != "usbhid") continue;
            for (const LinuxDevice* hid : childrenOf(child->path)) {
                uint64_t largest = largestReport(attribute(*hid, "report_descriptor"));
                if (largest <= kLargestReport) continue;
                *error = where(*hid, "report_descriptor") + "report_descriptor declares a report of " +
                         std::to_string(largest) + " bytes, more than " + std::to_string(kLargestReport);
                return false;
            }
        }
        return true;
    }

    std::string source_;
    std::map<std::string, const LinuxDevice*> byPath_;
    std::map<std::string, std::vector<const LinuxDevice*>> children_;
};

}  // namespace

bool linuxBench(const std::vector<LinuxDevice>& devices, const std::string& source, std::string* bench,
               std::string* error) {
    sim::Machine machine;
    if (!LinuxMachine(devices, source).build(&machine, error)) return false;
    *bench = writeBench(machine);
    return true;
}

}  // namespace bench_tool
