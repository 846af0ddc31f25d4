#include "desk_nodes.h"

#include <cstdio>
#include <cstring>

#include "desk_faults.h"
#include "platform/sim/model/text.h"

namespace desk {
namespace {

std::string withoutLastPart(const std::string& id) {
    size_t cut = id.rfind('\\');
    return cut == std::string::npos ? id : id.substr(0, cut);
}

std::string lastPart(const std::string& id) {
    size_t cut = id.rfind('\\');
    return cut == std::string::npos ? std::string() : id.substr(cut + 1);
}

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

void walkPorts(const sim::HostController& c, const sim::Hub& hub, int32_t parent, uint16_t& nextAddress,
               std::vector<DeskNode>& out) {
    for (size_t i = 0; i < hub.ports.size(); ++i) {
        const sim::Port& port = hub.ports[i];
        if (!port.device) continue;
        DeskNode node;
        node.kind = DESK_DEVICE;
        node.parent = parent;
        node.port = static_cast<uint32_t>(i + 1);
        node.controller = &c;
        node.device = &*port.device;
        node.onPort = &port;
        node.address = port.device->address != 0 ? port.device->address : nextAddress;
        ++nextAddress;
        out.push_back(node);
        if (port.device->isHub) walkPorts(c, port.device->hub, static_cast<int32_t>(out.size() - 1), nextAddress, out);
    }
}

// Appends an item: its header, its bytes, zeros up to a multiple of 4.
void addItem(std::vector<uint8_t>& out, uint32_t type, uint32_t key, const void* bytes, size_t length) {
    desk_item item{type, key, static_cast<uint32_t>(length)};
    const auto* header = reinterpret_cast<const uint8_t*>(&item);
    out.insert(out.end(), header, header + sizeof item);
    const auto* data = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), data, data + length);
    out.resize((out.size() + 3) & ~size_t{3}, 0);
}

void addText(std::vector<uint8_t>& out, uint32_t type, const std::string& text) {
    std::u16string wide = sim::utf8ToUtf16(text);
    wide.push_back(0);
    addItem(out, type, 0, wide.data(), wide.size() * 2);
}

void addTexts(std::vector<uint8_t>& out, uint32_t type, const std::vector<std::string>& texts) {
    std::u16string wide;
    for (const std::string& text : texts) wide += sim::utf8ToUtf16(text) + u'\0';
    wide.push_back(0);
    addItem(out, type, 0, wide.data(), wide.size() * 2);
}

uint32_t descriptorKey(unsigned type, unsigned index, unsigned language) {
    return static_cast<uint32_t>(type) << 24 | static_cast<uint32_t>(index & 0xFF) << 16 | (language & 0xFFFF);
}

void addDescriptors(std::vector<uint8_t>& out, const sim::Device& d) {
    for (size_t i = 0; i < d.configurations.size(); ++i)
        addItem(out, DESK_ITEM_DESCRIPTOR, descriptorKey(2, static_cast<unsigned>(i), 0), d.configurations[i].bytes.data(),
                d.configurations[i].bytes.size());
    if (d.languages)
        addItem(out, DESK_ITEM_DESCRIPTOR, descriptorKey(3, 0, 0), d.languages->bytes.data(), d.languages->bytes.size());
    for (const auto& byIndex : d.strings)
        for (const auto& byLanguage : byIndex.second)
            addItem(out, DESK_ITEM_DESCRIPTOR, descriptorKey(3, byIndex.first, byLanguage.first),
                    byLanguage.second.bytes.data(), byLanguage.second.bytes.size());
    if (d.bos) addItem(out, DESK_ITEM_DESCRIPTOR, descriptorKey(15, 0, 0), d.bos->bytes.data(), d.bos->bytes.size());
    for (const auto& other : d.otherDescriptors)
        addItem(out, DESK_ITEM_DESCRIPTOR, descriptorKey(other.first >> 8, other.first & 0xFF, 0),
                other.second.bytes.data(), other.second.bytes.size());
}

// A vendor-defined report descriptor with one input, one output and one
// feature report of the given lengths (report id byte included), for each
// report id the bench declares, or without report ids when it declares
// none: the layout the bench's report lengths describe.
std::vector<uint8_t> reportDescriptor(const sim::HidBehaviour& b) {
    std::vector<uint8_t> d = {0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
                              0x09, 0x01,        // Usage (1)
                              0xA1, 0x01,        // Collection (Application)
                              0x15, 0x00,        // Logical Minimum (0)
                              0x26, 0xFF, 0x00,  // Logical Maximum (255)
                              0x75, 0x08};       // Report Size (8)
    auto report = [&d](uint32_t length, uint8_t main) {
        if (length < 2) return;
        uint32_t count = length - 1;
        d.insert(d.end(), {0x96, static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>(count >> 8)});  // Report Count
        d.insert(d.end(), {0x09, 0x01, main, 0x02});  // Usage (1), Input/Output/Feature (Data, Variable, Absolute)
    };
    std::vector<int> ids(b.reportIds.begin(), b.reportIds.end());
    if (ids.empty()) ids.push_back(-1);
    for (int id : ids) {
        if (id >= 0) d.insert(d.end(), {0x85, static_cast<uint8_t>(id)});  // Report ID
        report(b.inputReportLength, 0x81);
        report(b.outputReportLength, 0x91);
        report(b.featureReportLength, 0xB1);
    }
    d.push_back(0xC0);  // End Collection
    return d;
}

void addHid(std::vector<uint8_t>& out, const sim::HidInterface& h) {
    desk_hid hid{h.vendorId, h.productId, h.versionNumber,
                 static_cast<uint16_t>(h.behaviour.kind == sim::HidReportKind::Echo ? DESK_HID_ECHO : DESK_HID_SILENT),
                 h.behaviour.inputReportLength, h.behaviour.outputReportLength, h.behaviour.featureReportLength};
    addItem(out, DESK_ITEM_HID, 0, &hid, sizeof hid);
    const std::optional<std::string>* texts[] = {&h.manufacturer, &h.product, &h.serialNumber};
    for (uint32_t i = 0; i < 3; ++i) {
        if (!*texts[i]) continue;
        std::u16string wide = sim::utf8ToUtf16(**texts[i]);
        wide.push_back(0);
        addItem(out, DESK_ITEM_HID_STRING, i + 1, wide.data(), wide.size() * 2);
    }
    std::vector<uint8_t> descriptor = reportDescriptor(h.behaviour);
    addItem(out, DESK_ITEM_HID_REPORT_DESCRIPTOR, 0, descriptor.data(), descriptor.size());
}

}  // namespace

const sim::DevNode& DeskNode::devNode() const {
    if (kind == DESK_CONTROLLER) return controller->node;
    if (kind == DESK_ROOT_HUB) return controller->rootHubNode;
    return device->node;
}

const sim::Hub* DeskNode::hub() const {
    if (kind == DESK_ROOT_HUB) return &controller->rootHub;
    if (kind == DESK_DEVICE && device->isHub) return &device->hub;
    return nullptr;
}

std::string DeskNode::deviceId() const { return withoutLastPart(devNode().instanceId.value_or("")); }
std::string DeskNode::instanceId() const { return lastPart(devNode().instanceId.value_or("")); }

std::vector<std::string> DeskNode::hardwareIds() const {
    const sim::DevNode& node = devNode();
    if (!node.hardwareIds.empty()) return node.hardwareIds;
    return {deviceId()};
}

// What the USB hub driver reports for a device's class, from its device
// descriptor or, for a device that leaves the class to its interfaces, its
// first interface (the USB device identification strings of Microsoft's
// "Standard USB Identifiers").
std::vector<std::string> DeskNode::compatibleIds() const {
    if (kind == DESK_CONTROLLER) return {"PCI\\CC_0C0330", "PCI\\CC_0C03"};
    if (kind != DESK_DEVICE) return {};
    unsigned cls = device->descriptor.bDeviceClass, sub = device->descriptor.bDeviceSubClass,
             protocol = device->descriptor.bDeviceProtocol;
    if (cls == 0 && !device->configurations.empty()) {
        const std::vector<uint8_t>& bytes = device->configurations[0].bytes;
        for (size_t at = 0; at + 8 <= bytes.size() && bytes[at] >= 2; at += bytes[at]) {
            if (bytes[at + 1] == 4 && bytes[at] >= 9 && at + 9 <= bytes.size()) {
                cls = bytes[at + 5];
                sub = bytes[at + 6];
                protocol = bytes[at + 7];
                break;
            }
        }
    }
    std::string base = "USB\\Class_" + hex2(cls);
    return {base + "&SubClass_" + hex2(sub) + "&Prot_" + hex2(protocol), base + "&SubClass_" + hex2(sub), base};
}

std::string DeskNode::setupClass() const { return devNode().setupClass.value_or("USB"); }

std::string DeskNode::description() const {
    if (devNode().description) return *devNode().description;
    return kind == DESK_CONTROLLER ? "USB Host Controller" : kind == DESK_ROOT_HUB ? "USB Root Hub" : "USB Device";
}

std::string DeskNode::service() const { return devNode().service.value_or(""); }

std::vector<DeskNode> deskNodes(const sim::Machine& machine) {
    std::vector<DeskNode> nodes;
    for (const sim::HostController& c : machine.controllers) {
        DeskNode controller;
        controller.controller = &c;
        nodes.push_back(controller);
        DeskNode root;
        root.kind = DESK_ROOT_HUB;
        root.parent = static_cast<int32_t>(nodes.size() - 1);
        root.controller = &c;
        nodes.push_back(root);
        uint16_t nextAddress = 1;
        walkPorts(c, c.rootHub, static_cast<int32_t>(nodes.size() - 1), nextAddress, nodes);
    }
    return nodes;
}

std::vector<uint8_t> machineBlob(const std::vector<DeskNode>& nodes) {
    std::vector<uint8_t> blob(sizeof(desk_blob_header));
    for (const DeskNode& n : nodes) {
        desk_node fixed{};
        fixed.kind = n.kind;
        fixed.parent = n.parent;
        fixed.port = n.port;
        const sim::Hub* hub = n.hub();
        if (hub) {
            fixed.port_count = hub->reportedPortCount ? *hub->reportedPortCount : static_cast<uint32_t>(hub->ports.size());
            if (hub->busPowered) fixed.flags |= DESK_FLAG_BUS_POWERED;
            if (hub->superSpeed) fixed.flags |= DESK_FLAG_SUPER_SPEED_HUB;
        }
        if (n.service().empty()) fixed.flags |= DESK_FLAG_NO_SERVICE;
        if (n.kind == DESK_DEVICE) {
            const sim::Device& d = *n.device;
            if (d.isHub) fixed.flags |= DESK_FLAG_HUB;
            if (!d.fixedClassInterface.path.empty()) fixed.flags |= DESK_FLAG_FIXED_CLASS;
            fixed.speed = static_cast<uint32_t>(d.speed);
            fixed.address = n.address;
            fixed.connection_status = n.onPort->connectionStatus.value_or(platform::kDeviceConnected);
            fixed.configuration_value = d.currentConfiguration;
            static_assert(sizeof d.descriptor == sizeof fixed.device_descriptor, "the 18 bytes of a device descriptor");
            std::memcpy(fixed.device_descriptor, &d.descriptor, sizeof fixed.device_descriptor);
        }
        std::vector<uint8_t> items;
        addText(items, DESK_ITEM_DEVICE_ID, n.deviceId());
        addText(items, DESK_ITEM_INSTANCE_ID, n.instanceId());
        addTexts(items, DESK_ITEM_HARDWARE_IDS, n.hardwareIds());
        if (!n.compatibleIds().empty()) addTexts(items, DESK_ITEM_COMPATIBLE_IDS, n.compatibleIds());
        if (n.kind == DESK_DEVICE) addDescriptors(items, *n.device);
        for (const FaultItem& fault : faultItems(n)) addItem(items, fault.type, fault.key, fault.bytes.data(), fault.bytes.size());
        // The device's own HID function; further ones would need a node each.
        if (n.kind == DESK_DEVICE && !n.device->hidInterfaces.empty()) addHid(items, n.device->hidInterfaces[0]);
        if (n.kind == DESK_CONTROLLER) {
            platform::UsbControllerInfo0 info = n.controller->controllerInfo.info;
            if (info.NumberOfRootPorts == 0)
                info.NumberOfRootPorts = static_cast<uint32_t>(n.controller->rootHub.ports.size());
            addItem(items, DESK_ITEM_CONTROLLER_INFO, 0, &info, sizeof info);
            for (uint32_t state = 0; state < n.controller->powerMap.size(); ++state)
                addItem(items, DESK_ITEM_POWER_INFO, platform::kWdmUsbPowerSystemWorking + state,
                        &n.controller->powerMap[state].info, sizeof n.controller->powerMap[state].info);
        }
        fixed.size = static_cast<uint32_t>(sizeof fixed + items.size());
        const auto* bytes = reinterpret_cast<const uint8_t*>(&fixed);
        blob.insert(blob.end(), bytes, bytes + sizeof fixed);
        blob.insert(blob.end(), items.begin(), items.end());
    }
    desk_blob_header header{DESK_BLOB_MAGIC, DESK_BLOB_VERSION, static_cast<uint32_t>(blob.size()),
                            static_cast<uint32_t>(nodes.size())};
    std::memcpy(blob.data(), &header, sizeof header);
    return blob;
}

}  // namespace desk
