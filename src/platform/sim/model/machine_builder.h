// Builders that make simulated machines short to write. Each builder starts
// from a realistic device, hub or controller with unique names, paths and
// driver keys, and each setter changes one thing. For anything the setters
// do not cover, edit() takes a function that changes the built record
// directly (leave out a property, make an answer fail or lie).
//
//   sim::Machine m = sim::MachineBuilder()
//       .controller(sim::ControllerBuilder().rootHub(sim::HubBuilder(4)
//           .device(1, sim::DeviceBuilder(0x1A2B, 0x0001).strings("Maker", "Loop", "SN1").winUsb())
//           .device(2, sim::DeviceBuilder(0x1A2B, 0x0002).strings("Maker", "Pad", "SN2").hid())))
//       .build();
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/model/machine.h"

namespace sim {

// Bytes of a configuration descriptor with its interface, endpoint and
// association descriptors; wTotalLength and the counts are filled in.
class ConfigurationBuilder {
public:
    ConfigurationBuilder();
    ConfigurationBuilder& configurationValue(uint8_t value);
    ConfigurationBuilder& configurationString(uint8_t stringIndex);
    ConfigurationBuilder& attributes(uint8_t bmAttributes);
    ConfigurationBuilder& maxPower(uint8_t units);
    // A new interface (alternate setting 0, numbered in order of addition).
    ConfigurationBuilder& interface(uint8_t interfaceClass, uint8_t subClass = 0, uint8_t protocol = 0,
                                    uint8_t stringIndex = 0);
    // An endpoint of the last interface; attributes 2 = bulk, 3 = interrupt.
    ConfigurationBuilder& endpoint(uint8_t address, uint8_t attributes, uint16_t maxPacketSize,
                                   uint8_t interval = 0);
    // An interface association descriptor, placed where it is added.
    ConfigurationBuilder& association(uint8_t firstInterface, uint8_t interfaceCount, uint8_t functionClass,
                                      uint8_t functionSubClass = 0, uint8_t functionProtocol = 0,
                                      uint8_t functionString = 0);
    // A HID class descriptor (type 0x21) naming one report descriptor.
    ConfigurationBuilder& hidDescriptor(uint16_t reportDescriptorLength);
    // Any descriptor bytes, placed as given.
    ConfigurationBuilder& raw(const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> bytes() const;

private:
    struct Item {
        enum Kind { Interface, Endpoint, Raw } kind;
        std::vector<uint8_t> bytes;
    };
    uint8_t value_ = 1, string_ = 0, attributes_ = 0x80, maxPower_ = 50;
    std::vector<Item> items_;
};

// The bytes of a string descriptor holding a UTF-8 text as UTF-16LE (cut to
// the 126 code units a descriptor can hold), and of a language list.
std::vector<uint8_t> stringDescriptorBytes(const std::string& utf8);
std::vector<uint8_t> languageListBytes(const std::vector<uint16_t>& languages);
// A BOS descriptor with one USB 2.0 extension capability.
std::vector<uint8_t> usb2ExtensionBosBytes();

class DeviceBuilder;

class HubBuilder {
public:
    explicit HubBuilder(uint8_t portCount);
    HubBuilder& device(uint32_t port, const DeviceBuilder& device);
    HubBuilder& device(uint32_t port, const Device& device);
    // A port with its own knobs (connection status, failing requests).
    HubBuilder& port(uint32_t port, const Port& value);
    HubBuilder& name(const std::string& name);
    HubBuilder& superSpeed(bool superSpeed = true);
    HubBuilder& edit(const std::function<void(Hub&)>& edit);

    // Builds with the given name unless one was set.
    Hub build(const std::string& defaultName) const;

private:
    Hub hub_;
    bool nameGiven_ = false;
    std::vector<std::function<void(Hub&)>> edits_;
};

class DeviceBuilder {
public:
    // A full-featured USB 2.0 high-speed device with one vendor-specific
    // interface and no strings; its SetupAPI node has a description, hardware
    // ids, setup class "USBDevice" and a driver key, but no service.
    DeviceBuilder(uint16_t vendorId, uint16_t productId);

    // The number the generated names, paths and driver keys derive from
    // (drawn from a process-wide counter unless set; bench files set it from
    // the device's place so that a re-read bench names things the same).
    DeviceBuilder& identity(uint32_t number);
    DeviceBuilder& release(uint16_t bcdDevice);
    DeviceBuilder& usbVersion(uint16_t bcdUsb);
    DeviceBuilder& speed(Speed speed);
    DeviceBuilder& deviceClass(uint8_t deviceClass, uint8_t subClass = 0, uint8_t protocol = 0);

    // Strings: manufacturer, product and serial number get the indices 1, 2
    // and 3 and exist in every language of the device (default 0x0409).
    DeviceBuilder& manufacturer(const std::string& text);
    DeviceBuilder& product(const std::string& text);
    DeviceBuilder& serialNumber(const std::string& text);
    DeviceBuilder& strings(const std::string& manufacturer, const std::string& product, const std::string& serial);
    DeviceBuilder& languages(const std::vector<uint16_t>& languages);
    // One string in one language; overrides the text of the setters above.
    DeviceBuilder& string(uint8_t index, uint16_t language, const std::string& text);

    DeviceBuilder& configuration(const ConfigurationBuilder& configuration);
    DeviceBuilder& configurationBytes(const std::vector<uint8_t>& bytes);
    DeviceBuilder& bos(const std::vector<uint8_t>& bytes);

    DeviceBuilder& service(const std::string& service);
    DeviceBuilder& description(const std::string& description);
    DeviceBuilder& setupClass(const std::string& setupClass);
    // The driver key the hub reports and SPDRP_DRIVER holds.
    DeviceBuilder& driverKey(const std::string& driverKey);
    DeviceBuilder& instanceId(const std::string& instanceId);
    DeviceBuilder& interfacePath(const std::string& path);
    // Also exposes the fixed interface class {58D07210-27C1-11DD-BD0B-0800200C9A66}.
    DeviceBuilder& fixedClassInterface();

    // A WinUSB device: service "WinUSB", a vendor interface with bulk pipes
    // 0x01 (OUT) and 0x81 (IN) that loop back, and vendor control echo.
    DeviceBuilder& winUsb();
    // A HID device: service "HidUsb", a HID interface with 64-byte interrupt
    // pipes, and one HID interface that carries the device's ids and strings
    // (first language) and echoes reports.
    DeviceBuilder& hid();
    // A mass-storage device: service "USBSTOR", bulk-only interface.
    DeviceBuilder& massStorage();
    // An external hub: service "USBHUB3", hub class, the given ports.
    DeviceBuilder& hub(const HubBuilder& hub);
    // A further HID interface (defaults: the device's ids, a generated path).
    DeviceBuilder& hidInterface(const std::function<void(HidInterface&)>& edit = nullptr);

    // Changes the built record; applied last, in order of the calls.
    DeviceBuilder& edit(const std::function<void(Device&)>& edit);

    Device build() const;

private:
    struct StringEntry {
        uint8_t index;
        bool allLanguages;
        uint16_t language;
        std::string text;
    };
    void setString(uint8_t index, const std::string& text);

    uint32_t number_;
    Device device_;
    std::vector<uint16_t> languages_{0x0409};
    std::vector<StringEntry> strings_;
    bool configurationGiven_ = false;
    std::string descriptionGiven_;
    bool driverKeyGiven_ = false, instanceIdGiven_ = false, pathGiven_ = false;
    bool fixedClass_ = false, hid_ = false;
    std::optional<HubBuilder> hub_;
    std::vector<std::function<void(HidInterface&)>> extraHid_;
    std::vector<std::function<void(Device&)>> edits_;
};


class ControllerBuilder {
public:
    // A PCI xHCI controller with a four-port root hub and no devices.
    ControllerBuilder();
    // As DeviceBuilder::identity; the root hub takes number + 1.
    ControllerBuilder& identity(uint32_t number);
    ControllerBuilder& pci(uint16_t vendorId, uint16_t deviceId, uint32_t subsystemId, uint8_t revision);
    // A controller that is not on PCI, e.g. "ACPI\VTRL0D10\0".
    ControllerBuilder& instanceId(const std::string& instanceId);
    ControllerBuilder& driverKey(const std::string& driverKey);
    ControllerBuilder& busAddress(uint32_t busNumber, uint16_t device, uint16_t function);
    ControllerBuilder& rootHub(const HubBuilder& hub);
    ControllerBuilder& edit(const std::function<void(HostController&)>& edit);
    HostController build() const;

private:
    uint32_t number_, rootNumber_;
    HostController controller_;
    HubBuilder rootHub_{4};
    bool pci_ = true;
    uint16_t pciVendor_ = 0x1B6F, pciDevice_ = 0x7052;
    uint32_t pciSubsystem_ = 0x00011B6F;
    uint8_t pciRevision_ = 0x10;
    bool instanceIdGiven_ = false, driverKeyGiven_ = false;
    std::vector<std::function<void(HostController&)>> edits_;
};

class MachineBuilder {
public:
    MachineBuilder& controller(const ControllerBuilder& controller);
    MachineBuilder& controller(const HostController& controller);
    MachineBuilder& otherDevice(const DevNode& node);
    Machine build() const;

private:
    Machine machine_;
};

// A device node outside the USB tree (a disk, a display adapter), for the
// set of all present devices.
DevNode otherDeviceNode(const std::string& description, const std::string& setupClass);
DevNode otherDeviceNode(const std::string& description, const std::string& setupClass, uint32_t number);

// Finds the first device of the machine with the ids (depth-first, in port
// order), or null.
Device* findDevice(Machine& machine, uint16_t vendorId, uint16_t productId);
// Finds a port by its location: {controller index from 0, port, port, ...}
// with ports numbered from 1 down through external hubs; null if none.
Port* findPort(Machine& machine, const std::vector<uint32_t>& location);

}  // namespace sim
