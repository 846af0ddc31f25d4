#include "platform/sim/model/machine_builder.h"

#include <atomic>
#include <cstdio>

#include "platform/sim/model/text.h"

namespace sim {
namespace {

constexpr const char* kUsbClassGuid = "{36fc9e60-c465-11cf-8056-444553540000}";
constexpr const char* kHidClassGuid = "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}";
constexpr const char* kUsbDeviceInterfaceGuid = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr const char* kHubInterfaceGuid = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
constexpr const char* kHostControllerInterfaceGuid = "{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
constexpr const char* kFixedInterfaceGuid = "{58d07210-27c1-11dd-bd0b-0800200c9a66}";
constexpr const char* kHidInterfaceGuid = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

// Every built controller, hub and device draws its own number, so that
// names, paths and driver keys never collide within a process.
uint32_t nextNumber() {
    static std::atomic<uint32_t> counter{1};
    return counter.fetch_add(1);
}

std::string format(const char* pattern, uint32_t a, uint32_t b = 0) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

std::string driverKeyFor(const char* classGuid, uint32_t number) {
    return std::string(classGuid) + "\\" + format("%04u", number);
}

// The part of an instance id that Windows derives when a device has no
// usable serial number.
// The hash part is unique per number; the tail is the port or the
// collection number.
std::string generatedInstanceSuffix(uint32_t prefix, uint32_t number, const std::string& tail) {
    return format("%u&%x&0&", prefix, (number * 0x9E3779B1u) & 0x0FFFFFFFu) + tail;
}

// "\\?\" + the instance id with '\' as '#', lower case, + "#" + class.
std::string interfacePathFor(const std::string& instanceId, const char* classGuid) {
    std::string path = "\\\\?\\";
    for (char c : instanceId) path += c == '\\' ? '#' : c;
    return lowerAscii(path) + "#" + classGuid;
}

bool usableSerial(const std::string& serial) {
    if (serial.empty() || serial.size() > 64) return false;
    for (char c : serial) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

void put16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

DescriptorAnswer answerOf(const std::vector<uint8_t>& bytes) {
    DescriptorAnswer answer;
    answer.bytes = bytes;
    return answer;
}

std::array<PowerAnswer, 6> defaultPowerMap() {
    // Working: controller and root hub powered in D0. Sleep states: D2 for
    // S1 and S2, D3 for S3 and beyond; wake-up possible from S1 to S3.
    std::array<PowerAnswer, 6> map{};
    const uint32_t devicePower[6] = {201, 203, 203, 204, 204, 204};
    for (int k = 0; k < 6; ++k) {
        platform::UsbPowerInfo& info = map[k].info;
        info.SystemState = 101 + k;
        info.HcDevicePowerState = devicePower[k];
        info.HcDeviceWake = k >= 1 && k <= 3 ? 204 : 200;
        info.HcSystemWake = 104;
        info.RhDevicePowerState = devicePower[k];
        info.RhDeviceWake = k >= 1 && k <= 3 ? 203 : 200;
        info.RhSystemWake = 104;
        info.LastSystemSleepState = 101;
        info.CanWakeup = k >= 1 && k <= 3 ? 1 : 0;
        info.IsPowered = k == 0 ? 1 : 0;
    }
    return map;
}

void visitPorts(std::vector<Port>& ports, const std::function<bool(Port&)>& visit) {
    for (Port& port : ports) {
        if (!visit(port)) return;
        if (port.device && port.device->isHub) visitPorts(port.device->hub.ports, visit);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Descriptor bytes
// ---------------------------------------------------------------------------

ConfigurationBuilder::ConfigurationBuilder() = default;

ConfigurationBuilder& ConfigurationBuilder::configurationValue(uint8_t value) {
    value_ = value;
    return *this;
}
ConfigurationBuilder& ConfigurationBuilder::configurationString(uint8_t stringIndex) {
    string_ = stringIndex;
    return *this;
}
ConfigurationBuilder& ConfigurationBuilder::attributes(uint8_t bmAttributes) {
    attributes_ = bmAttributes;
    return *this;
}
ConfigurationBuilder& ConfigurationBuilder::maxPower(uint8_t units) {
    maxPower_ = units;
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::interface(uint8_t interfaceClass, uint8_t subClass, uint8_t protocol,
                                                      uint8_t stringIndex) {
    uint8_t number = 0;
    for (const Item& item : items_)
        if (item.kind == Item::Interface) ++number;
    items_.push_back({Item::Interface, {9, 4, number, 0, 0, interfaceClass, subClass, protocol, stringIndex}});
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::endpoint(uint8_t address, uint8_t attributes, uint16_t maxPacketSize,
                                                     uint8_t interval) {
    std::vector<uint8_t> bytes = {7, 5, address, attributes};
    put16(bytes, maxPacketSize);
    bytes.push_back(interval);
    items_.push_back({Item::Endpoint, bytes});
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::association(uint8_t firstInterface, uint8_t interfaceCount,
                                                        uint8_t functionClass, uint8_t functionSubClass,
                                                        uint8_t functionProtocol, uint8_t functionString) {
    items_.push_back({Item::Raw,
                      {8, 11, firstInterface, interfaceCount, functionClass, functionSubClass, functionProtocol,
                       functionString}});
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::hidDescriptor(uint16_t reportDescriptorLength) {
    std::vector<uint8_t> bytes = {9, 0x21, 0x11, 0x01, 0, 1, 0x22};
    put16(bytes, reportDescriptorLength);
    items_.push_back({Item::Raw, bytes});
    return *this;
}

ConfigurationBuilder& ConfigurationBuilder::raw(const std::vector<uint8_t>& bytes) {
    items_.push_back({Item::Raw, bytes});
    return *this;
}

std::vector<uint8_t> ConfigurationBuilder::bytes() const {
    std::vector<Item> items = items_;
    // Each interface counts the endpoints that follow it.
    uint8_t interfaces = 0;
    Item* current = nullptr;
    for (Item& item : items) {
        if (item.kind == Item::Interface) {
            current = &item;
            ++interfaces;
        } else if (item.kind == Item::Endpoint && current != nullptr) {
            ++current->bytes[4];
        }
    }
    std::vector<uint8_t> out = {9, 2, 0, 0, interfaces, value_, string_, attributes_, maxPower_};
    for (const Item& item : items) out.insert(out.end(), item.bytes.begin(), item.bytes.end());
    out[2] = static_cast<uint8_t>(out.size() & 0xFF);
    out[3] = static_cast<uint8_t>(out.size() >> 8);
    return out;
}

std::vector<uint8_t> stringDescriptorBytes(const std::string& utf8) {
    std::u16string text = utf8ToUtf16(utf8);
    if (text.size() > 126) text.resize(126);
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (char16_t unit : text) put16(out, static_cast<uint16_t>(unit));
    return out;
}

std::vector<uint8_t> languageListBytes(const std::vector<uint16_t>& languages) {
    size_t count = languages.size() > 126 ? 126 : languages.size();
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 + 2 * count), 3};
    for (size_t i = 0; i < count; ++i) put16(out, languages[i]);
    return out;
}

std::vector<uint8_t> usb2ExtensionBosBytes() {
    return {5, 15, 12, 0, 1, 7, 16, 2, 0x06, 0, 0, 0};
}

// ---------------------------------------------------------------------------
// Hubs
// ---------------------------------------------------------------------------

HubBuilder::HubBuilder(uint8_t portCount) { hub_.ports.resize(portCount); }

HubBuilder& HubBuilder::device(uint32_t port, const DeviceBuilder& device) { return this->device(port, device.build()); }

HubBuilder& HubBuilder::device(uint32_t port, const Device& device) {
    if (port == 0) return *this;
    if (hub_.ports.size() < port) hub_.ports.resize(port);
    hub_.ports[port - 1].device = device;
    return *this;
}

HubBuilder& HubBuilder::port(uint32_t port, const Port& value) {
    if (port == 0) return *this;
    if (hub_.ports.size() < port) hub_.ports.resize(port);
    hub_.ports[port - 1] = value;
    return *this;
}

HubBuilder& HubBuilder::name(const std::string& name) {
    hub_.name = name;
    nameGiven_ = true;
    return *this;
}

HubBuilder& HubBuilder::superSpeed(bool superSpeed) {
    hub_.superSpeed = superSpeed;
    return *this;
}

HubBuilder& HubBuilder::edit(const std::function<void(Hub&)>& edit) {
    if (edit) edits_.push_back(edit);
    return *this;
}

Hub HubBuilder::build(const std::string& defaultName) const {
    Hub hub = hub_;
    if (!nameGiven_) hub.name = defaultName;
    if (hub.interface.path.empty() && !hub.name.empty()) hub.interface.path = "\\\\?\\" + lowerAscii(hub.name);
    for (const auto& edit : edits_) edit(hub);
    return hub;
}

// ---------------------------------------------------------------------------
// Devices
// ---------------------------------------------------------------------------

DeviceBuilder::DeviceBuilder(uint16_t vendorId, uint16_t productId) : number_(nextNumber()) {
    platform::UsbDeviceDescriptor& d = device_.descriptor;
    d.bLength = 18;
    d.bDescriptorType = 1;
    d.bcdUSB = 0x0200;
    d.bMaxPacketSize0 = 64;
    d.idVendor = vendorId;
    d.idProduct = productId;
    d.bcdDevice = 0x0100;
    d.bNumConfigurations = 1;
    device_.configurations.push_back(answerOf(ConfigurationBuilder().interface(0xFF).bytes()));
    device_.node.setupClass = "USBDevice";
}

DeviceBuilder& DeviceBuilder::identity(uint32_t number) {
    number_ = number;
    return *this;
}
DeviceBuilder& DeviceBuilder::release(uint16_t bcdDevice) {
    device_.descriptor.bcdDevice = bcdDevice;
    return *this;
}
DeviceBuilder& DeviceBuilder::usbVersion(uint16_t bcdUsb) {
    device_.descriptor.bcdUSB = bcdUsb;
    return *this;
}
DeviceBuilder& DeviceBuilder::speed(Speed speed) {
    device_.speed = speed;
    return *this;
}
DeviceBuilder& DeviceBuilder::deviceClass(uint8_t deviceClass, uint8_t subClass, uint8_t protocol) {
    device_.descriptor.bDeviceClass = deviceClass;
    device_.descriptor.bDeviceSubClass = subClass;
    device_.descriptor.bDeviceProtocol = protocol;
    return *this;
}

void DeviceBuilder::setString(uint8_t index, const std::string& text) {
    strings_.push_back({index, true, 0, text});
}

DeviceBuilder& DeviceBuilder::manufacturer(const std::string& text) {
    device_.descriptor.iManufacturer = 1;
    setString(1, text);
    return *this;
}
DeviceBuilder& DeviceBuilder::product(const std::string& text) {
    device_.descriptor.iProduct = 2;
    setString(2, text);
    return *this;
}
DeviceBuilder& DeviceBuilder::serialNumber(const std::string& text) {
    device_.descriptor.iSerialNumber = 3;
    setString(3, text);
    return *this;
}
DeviceBuilder& DeviceBuilder::strings(const std::string& manufacturer, const std::string& product,
                                      const std::string& serial) {
    return this->manufacturer(manufacturer).product(product).serialNumber(serial);
}
DeviceBuilder& DeviceBuilder::languages(const std::vector<uint16_t>& languages) {
    languages_ = languages;
    return *this;
}
DeviceBuilder& DeviceBuilder::string(uint8_t index, uint16_t language, const std::string& text) {
    strings_.push_back({index, false, language, text});
    return *this;
}

DeviceBuilder& DeviceBuilder::configuration(const ConfigurationBuilder& configuration) {
    return configurationBytes(configuration.bytes());
}
DeviceBuilder& DeviceBuilder::configurationBytes(const std::vector<uint8_t>& bytes) {
    device_.configurations.assign(1, answerOf(bytes));
    configurationGiven_ = true;
    return *this;
}
DeviceBuilder& DeviceBuilder::bos(const std::vector<uint8_t>& bytes) {
    device_.bos = answerOf(bytes);
    return *this;
}

DeviceBuilder& DeviceBuilder::service(const std::string& service) {
    device_.node.service = service;
    return *this;
}
DeviceBuilder& DeviceBuilder::description(const std::string& description) {
    descriptionGiven_ = description;
    return *this;
}
DeviceBuilder& DeviceBuilder::setupClass(const std::string& setupClass) {
    device_.node.setupClass = setupClass;
    return *this;
}
DeviceBuilder& DeviceBuilder::driverKey(const std::string& driverKey) {
    device_.driverKey = driverKey;
    driverKeyGiven_ = true;
    return *this;
}
DeviceBuilder& DeviceBuilder::instanceId(const std::string& instanceId) {
    device_.node.instanceId = instanceId;
    instanceIdGiven_ = true;
    return *this;
}
DeviceBuilder& DeviceBuilder::interfacePath(const std::string& path) {
    device_.usbInterface.path = path;
    pathGiven_ = true;
    return *this;
}
DeviceBuilder& DeviceBuilder::fixedClassInterface() {
    fixedClass_ = true;
    return *this;
}

DeviceBuilder& DeviceBuilder::winUsb() {
    device_.node.service = "WinUSB";
    device_.node.setupClass = "USBDevice";
    if (descriptionGiven_.empty()) descriptionGiven_ = "WinUsb Device";
    if (!configurationGiven_)
        device_.configurations.assign(
            1, answerOf(ConfigurationBuilder().interface(0xFF).endpoint(0x01, 2, 512).endpoint(0x81, 2, 512).bytes()));
    device_.winUsb.pipes = {{0x01, PipeKind::Loopback, 0x81, 0}};
    device_.winUsb.vendorControlEcho = true;
    return *this;
}

DeviceBuilder& DeviceBuilder::hid() {
    device_.node.service = "HidUsb";
    device_.node.setupClass = "HIDClass";
    if (descriptionGiven_.empty()) descriptionGiven_ = "USB Input Device";
    if (!configurationGiven_)
        device_.configurations.assign(1, answerOf(ConfigurationBuilder()
                                                      .interface(3)
                                                      .hidDescriptor(34)
                                                      .endpoint(0x81, 3, 64, 1)
                                                      .endpoint(0x01, 3, 64, 1)
                                                      .bytes()));
    hid_ = true;
    return *this;
}

DeviceBuilder& DeviceBuilder::massStorage() {
    device_.node.service = "USBSTOR";
    device_.node.setupClass = "USB";
    if (descriptionGiven_.empty()) descriptionGiven_ = "USB Mass Storage Device";
    if (!configurationGiven_)
        device_.configurations.assign(
            1, answerOf(ConfigurationBuilder().interface(8, 6, 0x50).endpoint(0x81, 2, 512).endpoint(0x02, 2, 512).bytes()));
    return *this;
}

DeviceBuilder& DeviceBuilder::hub(const HubBuilder& hub) {
    device_.node.service = "USBHUB3";
    device_.node.setupClass = "USB";
    if (descriptionGiven_.empty()) descriptionGiven_ = "Generic USB Hub";
    deviceClass(9, 0, 1);
    if (!configurationGiven_)
        device_.configurations.assign(1, answerOf(ConfigurationBuilder().interface(9).endpoint(0x81, 3, 1, 12).bytes()));
    device_.isHub = true;
    hub_ = hub;
    return *this;
}

DeviceBuilder& DeviceBuilder::hidInterface(const std::function<void(HidInterface&)>& edit) {
    extraHid_.push_back(edit);
    return *this;
}

DeviceBuilder& DeviceBuilder::edit(const std::function<void(Device&)>& edit) {
    if (edit) edits_.push_back(edit);
    return *this;
}

Device DeviceBuilder::build() const {
    Device device = device_;
    const platform::UsbDeviceDescriptor& d = device.descriptor;
    std::string ids = "VID_" + hex4(d.idVendor) + "&PID_" + hex4(d.idProduct);

    // Strings: the language list, then each text in every language (or in
    // the one it was given for).
    bool anyString = !strings_.empty();
    if (anyString) {
        device.languages = answerOf(languageListBytes(languages_));
        for (const StringEntry& entry : strings_) {
            if (entry.allLanguages) {
                for (uint16_t language : languages_)
                    device.strings[entry.index][language] = answerOf(stringDescriptorBytes(entry.text));
            } else {
                device.strings[entry.index][entry.language] = answerOf(stringDescriptorBytes(entry.text));
            }
        }
    }
    auto firstText = [&](uint8_t index) -> std::optional<std::string> {
        std::optional<std::string> found;
        for (const StringEntry& entry : strings_)
            if (entry.index == index && (entry.allLanguages || (!languages_.empty() && entry.language == languages_[0])))
                found = entry.text;
        return found;
    };

    // Identity: instance id, hardware ids, driver key, interface paths.
    std::string serial;
    if (d.iSerialNumber != 0)
        if (std::optional<std::string> text = firstText(d.iSerialNumber)) serial = *text;
    std::string suffix = usableSerial(serial) ? serial : generatedInstanceSuffix(6, number_, format("%u", number_ % 8 + 1));
    if (!instanceIdGiven_) device.node.instanceId = "USB\\" + ids + "\\" + suffix;
    device.node.hardwareIds = {"USB\\" + ids + "&REV_" + hex4(d.bcdDevice), "USB\\" + ids};
    device.node.description = descriptionGiven_.empty() ? "USB Device" : descriptionGiven_;
    if (!driverKeyGiven_) device.driverKey = driverKeyFor(kUsbClassGuid, number_);
    if (!device.driverKey.empty()) device.node.driver = device.driverKey;
    std::string instance = device.node.instanceId.value_or("USB\\" + ids + "\\" + suffix);
    if (!pathGiven_) device.usbInterface.path = interfacePathFor(instance, kUsbDeviceInterfaceGuid);
    if (fixedClass_) device.fixedClassInterface.path = interfacePathFor(instance, kFixedInterfaceGuid);

    // HID interfaces: one for a HID device, then any further ones.
    auto makeHid = [&](uint32_t k) {
        HidInterface h;
        h.vendorId = d.idVendor;
        h.productId = d.idProduct;
        h.versionNumber = d.bcdDevice;
        if (d.iManufacturer != 0) h.manufacturer = firstText(d.iManufacturer);
        if (d.iProduct != 0) h.product = firstText(d.iProduct);
        if (d.iSerialNumber != 0) h.serialNumber = firstText(d.iSerialNumber);
        std::string hidInstance = "HID\\" + ids + "\\" + generatedInstanceSuffix(7, number_, format("%04u", k));
        h.node.instanceId = hidInstance;
        h.node.description = "HID-compliant vendor-defined device";
        h.node.hardwareIds = {"HID\\" + ids + "&REV_" + hex4(d.bcdDevice), "HID\\" + ids};
        h.node.setupClass = "HIDClass";
        h.node.driver = driverKeyFor(kHidClassGuid, number_ * 16 + k);
        h.interface.path = interfacePathFor(hidInstance, kHidInterfaceGuid);
        return h;
    };
    uint32_t k = 0;
    if (hid_) device.hidInterfaces.push_back(makeHid(k++));
    for (const auto& edit : extraHid_) {
        HidInterface h = makeHid(k++);
        if (edit) edit(h);
        device.hidInterfaces.push_back(h);
    }

    if (hub_) device.hub = hub_->build("USB#" + ids + "#" + suffix + "#" + kHubInterfaceGuid);

    for (const auto& edit : edits_) edit(device);
    return device;
}

// ---------------------------------------------------------------------------
// Host controllers and machines
// ---------------------------------------------------------------------------

ControllerBuilder::ControllerBuilder() : number_(nextNumber()), rootNumber_(nextNumber()) {
    controller_.powerMap = defaultPowerMap();
    controller_.node.busNumber = 0;
    controller_.node.address = (0x14u << 16) | 0u;
    controller_.node.description = "USB xHCI Compliant Host Controller";
    controller_.node.service = "USBXHCI";
    controller_.node.setupClass = "USB";
}

ControllerBuilder& ControllerBuilder::identity(uint32_t number) {
    number_ = number;
    rootNumber_ = number + 1;
    return *this;
}

ControllerBuilder& ControllerBuilder::pci(uint16_t vendorId, uint16_t deviceId, uint32_t subsystemId,
                                          uint8_t revision) {
    pci_ = true;
    pciVendor_ = vendorId;
    pciDevice_ = deviceId;
    pciSubsystem_ = subsystemId;
    pciRevision_ = revision;
    return *this;
}

ControllerBuilder& ControllerBuilder::instanceId(const std::string& instanceId) {
    controller_.node.instanceId = instanceId;
    instanceIdGiven_ = true;
    pci_ = instanceId.rfind("PCI\\", 0) == 0;
    return *this;
}

ControllerBuilder& ControllerBuilder::driverKey(const std::string& driverKey) {
    controller_.driverKey = driverKey;
    driverKeyGiven_ = true;
    return *this;
}

ControllerBuilder& ControllerBuilder::busAddress(uint32_t busNumber, uint16_t device, uint16_t function) {
    controller_.node.busNumber = busNumber;
    controller_.node.address = (static_cast<uint32_t>(device) << 16) | function;
    return *this;
}

ControllerBuilder& ControllerBuilder::rootHub(const HubBuilder& hub) {
    rootHub_ = hub;
    return *this;
}

ControllerBuilder& ControllerBuilder::edit(const std::function<void(HostController&)>& edit) {
    if (edit) edits_.push_back(edit);
    return *this;
}

HostController ControllerBuilder::build() const {
    HostController c = controller_;
    std::string suffix = format("3&%x&0&A0", (number_ * 0x85EBCA6Bu) & 0x0FFFFFFFu);
    if (!instanceIdGiven_) {
        char ids[96];
        std::snprintf(ids, sizeof ids, "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%08X&REV_%02X", pciVendor_, pciDevice_,
                      pciSubsystem_, pciRevision_);
        c.node.instanceId = std::string(ids) + "\\" + suffix;
        std::string withoutRevision = std::string(ids).substr(0, std::string(ids).rfind("&REV_"));
        c.node.hardwareIds = {ids, withoutRevision};
    } else {
        std::string id = *c.node.instanceId;
        c.node.hardwareIds = {id.substr(0, id.rfind('\\'))};
    }
    if (pci_) {
        c.controllerInfo.info.PciVendorId = pciVendor_;
        c.controllerInfo.info.PciDeviceId = pciDevice_;
        c.controllerInfo.info.PciRevision = pciRevision_;
    } else {
        c.node.busNumber.reset();
        c.node.address.reset();
    }
    if (!driverKeyGiven_) c.driverKey = driverKeyFor(kUsbClassGuid, number_);
    if (!c.driverKey.empty()) c.node.driver = c.driverKey;
    c.interface.path = interfacePathFor(*c.node.instanceId, kHostControllerInterfaceGuid);

    std::string rootInstance = format("USB\\ROOT_HUB30\\4&%x&0&0", (rootNumber_ * 0xC2B2AE35u) & 0x0FFFFFFFu);
    c.rootHubNode.instanceId = rootInstance;
    c.rootHubNode.description = "USB Root Hub (USB 3.0)";
    c.rootHubNode.hardwareIds = {"USB\\ROOT_HUB30", "USB\\ROOT_HUB"};
    c.rootHubNode.service = "USBHUB3";
    c.rootHubNode.setupClass = "USB";
    c.rootHubNode.driver = driverKeyFor(kUsbClassGuid, rootNumber_);
    std::string rootName;
    for (char ch : rootInstance) rootName += ch == '\\' ? '#' : ch;
    c.rootHub = rootHub_.build(rootName + "#" + kHubInterfaceGuid);

    for (const auto& edit : edits_) edit(c);
    return c;
}

MachineBuilder& MachineBuilder::controller(const ControllerBuilder& controller) {
    return this->controller(controller.build());
}

MachineBuilder& MachineBuilder::controller(const HostController& controller) {
    machine_.controllers.push_back(controller);
    return *this;
}

MachineBuilder& MachineBuilder::otherDevice(const DevNode& node) {
    machine_.otherDevices.push_back(node);
    return *this;
}

Machine MachineBuilder::build() const { return machine_; }

DevNode otherDeviceNode(const std::string& description, const std::string& setupClass) {
    return otherDeviceNode(description, setupClass, nextNumber());
}

DevNode otherDeviceNode(const std::string& description, const std::string& setupClass, uint32_t number) {
    DevNode node;
    node.instanceId = "ROOT\\" + upperAscii(setupClass) + "\\" + format("%04u", number);
    node.description = description;
    node.setupClass = setupClass;
    node.driver = "{4d36e967-e325-11ce-bfc1-08002be10318}\\" + format("%04u", number);
    return node;
}

Device* findDevice(Machine& machine, uint16_t vendorId, uint16_t productId) {
    Device* found = nullptr;
    for (HostController& c : machine.controllers) {
        visitPorts(c.rootHub.ports, [&](Port& port) {
            if (port.device && port.device->descriptor.idVendor == vendorId &&
                port.device->descriptor.idProduct == productId)
                found = &*port.device;
            return found == nullptr;
        });
        if (found != nullptr) break;
    }
    return found;
}

Port* findPort(Machine& machine, const std::vector<uint32_t>& location) {
    if (location.size() < 2 || location[0] >= machine.controllers.size()) return nullptr;
    std::vector<Port>* ports = &machine.controllers[location[0]].rootHub.ports;
    Port* port = nullptr;
    for (size_t i = 1; i < location.size(); ++i) {
        if (location[i] == 0 || location[i] > ports->size()) return nullptr;
        port = &(*ports)[location[i] - 1];
        if (i + 1 < location.size()) {
            if (!port->device || !port->device->isHub) return nullptr;
            ports = &port->device->hub.ports;
        }
    }
    return port;
}

}  // namespace sim
