// The model of a simulated Windows machine's USB side: host controllers,
// hubs, ports and devices, with everything the SetupAPI, the hub and
// host-controller drivers and the HID library answer about them.
//
// Plain records. Nothing is implied: a value left empty is absent from the
// machine (no property, no interface, no name), and each answer carries a
// knob that can make it fail with a chosen error or lie. The builders in
// machine_builder.h fill in realistic values so that tests stay short.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

namespace sim {

// Error codes the simulated machine answers with that the library itself
// never names.
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorInvalidData = 13;
// A driver's warning that its answer did not all fit (STATUS_BUFFER_OVERFLOW):
// as a knob's error, the answer is still written and the call fails with it.
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorInvalidUserBuffer = 1784;

// Device speeds as the hub reports them (USB_DEVICE_SPEED).
enum class Speed : uint8_t { Low = 0, Full = 1, High = 2, Super = 3 };

// ---------------------------------------------------------------------------
// SetupAPI side
// ---------------------------------------------------------------------------

// One device node as the SetupAPI sees it: instance id and registry
// properties. Texts are UTF-8; the narrow (A) calls hand them out in the
// ANSI code page, the wide (W) calls as UTF-16.
struct DevNode {
    std::optional<std::string> instanceId;
    std::optional<std::string> description;     // SPDRP_DEVICEDESC
    std::vector<std::string> hardwareIds;       // SPDRP_HARDWAREID; empty: absent
    std::optional<std::string> service;         // SPDRP_SERVICE
    std::optional<std::string> setupClass;      // SPDRP_CLASS
    std::optional<std::string> driver;          // SPDRP_DRIVER, the driver key name
    std::optional<uint32_t> busNumber;          // SPDRP_BUSNUMBER
    std::optional<uint32_t> address;            // SPDRP_ADDRESS

    // Faults: SetupDiEnumDeviceInfo reaching this node fails with enumError;
    // reading the instance id or a property fails with the error given.
    uint32_t enumError = 0;
    uint32_t instanceIdError = 0;
    std::map<uint32_t, uint32_t> propertyErrors;  // SPDRP code -> error
};

// One device interface: its path and how the SetupAPI answers for it.
struct InterfaceAnswer {
    std::string path;  // "\\?\usb#vid_...#{class}"; empty: the interface does not exist

    uint32_t enumError = 0;        // SetupDiEnumDeviceInterfaces fails with this
    uint32_t sizeQueryError = 0;   // the detail size query fails with this instead of 122
    bool sizeQueryReportsSuccess = false;          // lie: the size query returns true
    std::optional<uint32_t> reportedRequiredSize;  // lie: the required size reported
    uint32_t detailError = 0;      // reading the detail into a buffer fails with this
};

// ---------------------------------------------------------------------------
// Answers of the hub and host-controller drivers
// ---------------------------------------------------------------------------

// A name request (driver key, root hub name, node connection name). The
// driver reports ActualLength as the size of the whole structure with the
// text and its terminator.
struct NameAnswer {
    uint32_t failWith = 0;                  // nonzero: the request fails with this error
    std::optional<uint32_t> actualLength;   // lie: the ActualLength reported
    std::optional<uint32_t> bytesReturned;  // lie: the byte count of a complete answer
};

// A descriptor as the device sends it in answer to GET_DESCRIPTOR.
struct DescriptorAnswer {
    std::vector<uint8_t> bytes;  // the whole descriptor, byte for byte

    uint32_t failWith = 0;  // nonzero: the request fails (a stall is ERROR_GEN_FAILURE, 31)
    std::optional<uint32_t> bytesReturned;  // lie: the byte count the request reports
    // Changes between reads: every read after the first sends these bytes.
    std::optional<std::vector<uint8_t>> bytesAfterFirstRead;
    uint32_t reads = 0;  // how many times the descriptor has been read (kept by the machine)
};

// The answer of a USER request (power map slot, controller information).
struct PowerAnswer {
    platform::UsbPowerInfo info{};  // SystemState is filled in by the request
    uint32_t failWith = 0;
};
struct ControllerInfoAnswer {
    platform::UsbControllerInfo0 info{};  // NumberOfRootPorts 0: the root hub's port count
    uint32_t failWith = 0;
};

// ---------------------------------------------------------------------------
// Behaviour of the data path (WinUSB pipes, control requests, HID reports)
// ---------------------------------------------------------------------------

enum class PipeKind {
    Loopback,  // an OUT pipe: what is written comes back on pairedPipe
    Sink,      // an OUT pipe that accepts everything
    Source,    // an IN pipe that always has data (the byte pattern 0, 1, 2, ...)
    Stall,     // every transfer fails
    Slow,      // transfers complete after delayMs
    Silent,    // transfers never complete (only a time-out or abort ends them)
};

struct PipeBehaviour {
    uint8_t pipe = 0;        // endpoint address: 0x01 OUT, 0x81 IN, ...
    PipeKind kind = PipeKind::Sink;
    uint8_t pairedPipe = 0;  // Loopback: the IN pipe where the data comes back
    uint32_t delayMs = 0;    // Slow
};

struct WinUsbBehaviour {
    std::vector<PipeBehaviour> pipes;
    bool vendorControlEcho = false;  // vendor OUT requests are kept and read back by vendor IN requests
};

enum class HidReportKind {
    Echo,    // an output report comes back as the next input report
    Silent,  // no input report ever arrives
};

struct HidBehaviour {
    HidReportKind kind = HidReportKind::Echo;
    // Report lengths as the collection's capabilities state them: the report
    // id byte (0 when the collection declares no ids) and the report's data.
    uint32_t inputReportLength = 65;
    uint32_t outputReportLength = 65;
    uint32_t featureReportLength = 65;
    std::vector<uint8_t> reportIds;  // declared report ids; empty: every report carries id 0
    uint32_t answerDelayMs = 0;  // how long an echoed report takes to come back
    bool writesHang = false;     // output reports are never taken: writes pend until cancelled
    // How a cancelled read or write ends: after cancelDelayMs, on another
    // thread; or (cancelIgnored) only when the device answers it.
    uint32_t cancelDelayMs = 0;
    bool cancelIgnored = false;
};

// ---------------------------------------------------------------------------
// The topology
// ---------------------------------------------------------------------------

// Another program's open handle on a device or HID interface: the access it
// asked for and what it lets others share.
struct OtherProgramOpen {
    uint32_t access = platform::kGenericRead | platform::kGenericWrite;
    uint32_t shareMode = 0;
};

// A HID interface of a device: a device node of its own with a HID path.
struct HidInterface {
    DevNode node;
    InterfaceAnswer interface;  // path of the HID interface class
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
    std::optional<std::string> manufacturer;  // UTF-8; absent: the call answers FALSE
    std::optional<std::string> product;
    std::optional<std::string> serialNumber;
    HidBehaviour behaviour;

    uint32_t openError = 0;        // CreateFile on the path fails with this
    uint32_t attributesError = 0;  // HidD_GetAttributes fails with this
    uint32_t stringsError = 0;     // the HID string requests fail with this
    bool keyboardOrMouse = false;  // a collection the system itself reads
    std::optional<OtherProgramOpen> heldOpen;
};

// A string descriptor table: per string index, per language id.
using StringTable = std::map<uint8_t, std::map<uint16_t, DescriptorAnswer>>;

struct Port;

// A hub's side of the machine: what opening it by name and asking for its
// node information and ports answer.
struct Hub {
    std::string name;           // the hub name, without the "\\.\" prefix
    InterfaceAnswer interface;  // path of the hub interface class
    uint32_t openError = 0;     // opening the hub fails with this

    // IOCTL_USB_GET_NODE_INFORMATION
    uint32_t nodeInfoError = 0;
    std::optional<uint8_t> reportedPortCount;  // lie: bNumberOfPorts (default: ports.size())
    bool busPowered = false;
    bool superSpeed = false;  // a USB 3 hub descriptor (type 0x2A) instead of 0x29

    std::vector<Port> ports;  // port n is ports[n - 1]
};

// A device on a port: what the hub reports about it, its descriptors, its
// SetupAPI node and interfaces, and, for a hub, the hub behind it.
struct Device {
    platform::UsbDeviceDescriptor descriptor{};  // the 18 bytes of the connection information
    Speed speed = Speed::High;
    uint16_t address = 0;             // USB address; 0: assigned in port order
    uint8_t currentConfiguration = 1;

    std::vector<DescriptorAnswer> configurations;  // by configuration index
    std::optional<DescriptorAnswer> bos;
    std::optional<DescriptorAnswer> languages;  // string descriptor 0
    StringTable strings;                        // string descriptors 1..255
    std::map<uint16_t, DescriptorAnswer> otherDescriptors;  // by wValue (type << 8 | index)

    std::string driverKey;  // what the hub reports; empty: no driver key
    DevNode node;
    InterfaceAnswer usbInterface;         // GUID_DEVINTERFACE_USB_DEVICE
    InterfaceAnswer fixedClassInterface;  // the fixed class {58D07210-27C1-11DD-BD0B-0800200C9A66}
    std::vector<HidInterface> hidInterfaces;
    uint32_t openError = 0;  // opening the device's interfaces fails with this (a hub: Hub::openError)
    std::optional<OtherProgramOpen> heldOpen;  // of the USB device interface path

    // How the device comes up when it is plugged in: its USB device interface
    // at once, its HID collections and fixed-class interface interfacesAfterMs
    // later, and then HID string requests failing for hidStringsFailForMs.
    struct Arrival {
        uint32_t interfacesAfterMs = 0;
        uint32_t hidStringsFailForMs = 0;
    } arrival;
    uint64_t arrivalStage = 0;  // nonzero while a plugged device is still coming up

    WinUsbBehaviour winUsb;

    bool isHub = false;
    Hub hub;  // meaningful only when isHub
};

struct Port {
    std::optional<Device> device;
    // What the hub reports as ConnectionStatus; default 1 (DeviceConnected)
    // with a device and 0 (NoDeviceConnected) without.
    std::optional<uint32_t> connectionStatus;

    uint32_t connectionInfoExError = 0;  // IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX fails
    uint32_t connectionInfoError = 0;    // the legacy request fails
    NameAnswer driverKeyAnswer;          // IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME
    NameAnswer nodeNameAnswer;           // IOCTL_USB_GET_NODE_CONNECTION_NAME
};

struct HostController {
    DevNode node;  // instance id "PCI\VEN_...", bus number and address among the properties
    InterfaceAnswer interface;  // path of the host-controller interface class
    uint32_t openError = 0;

    std::string driverKey;  // IOCTL_GET_HCD_DRIVERKEY_NAME; empty: none
    NameAnswer driverKeyAnswer;
    NameAnswer rootHubNameAnswer;  // IOCTL_USB_GET_ROOT_HUB_NAME
    std::array<PowerAnswer, 6> powerMap{};  // system states 101..106
    ControllerInfoAnswer controllerInfo;

    DevNode rootHubNode;  // the root hub's own device node
    Hub rootHub;
};

// The machine's WinUSB library, "winusb.dll", loaded at run time.
struct WinUsbLibrary {
    bool present = true;  // false: LoadLibraryA fails with ERROR_MOD_NOT_FOUND
    std::vector<std::string> missingEntryPoints;  // names GetProcAddress does not find
};

struct Machine {
    std::vector<HostController> controllers;
    std::vector<DevNode> otherDevices;  // present devices outside the USB tree
    WinUsbLibrary winUsbLibrary;
};

}  // namespace sim
