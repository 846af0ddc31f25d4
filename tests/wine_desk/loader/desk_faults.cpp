#include "desk_faults.h"

#include <optional>

namespace desk {
namespace {

constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kStatusBufferOverflow = 0x80000005;

void addFault(std::vector<FaultItem>& out, uint32_t type, uint32_t key, uint32_t error,
              const std::optional<uint32_t>& actualLength = std::nullopt,
              const std::optional<uint32_t>& bytesReturned = std::nullopt) {
    desk_fault fault{};
    if (error != 0 && !statusForError(error, &fault.status)) return;  // listed by unservedFaults
    if (actualLength) {
        fault.flags |= DESK_LIE_ACTUAL_LENGTH;
        fault.actual_length = *actualLength;
    }
    if (bytesReturned) {
        fault.flags |= DESK_LIE_BYTES_RETURNED;
        fault.bytes_returned = *bytesReturned;
    }
    if (fault.status == 0 && fault.flags == 0) return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&fault);
    out.push_back({type, key, std::vector<uint8_t>(bytes, bytes + sizeof fault)});
}

void addName(std::vector<FaultItem>& out, uint32_t key, const sim::NameAnswer& a) {
    addFault(out, DESK_ITEM_FAULT, key, a.failWith, a.actualLength, a.bytesReturned);
}

uint32_t descriptorKey(unsigned type, unsigned index, unsigned language) {
    return static_cast<uint32_t>(type) << 24 | static_cast<uint32_t>(index & 0xFF) << 16 | (language & 0xFFFF);
}

void addDescriptor(std::vector<FaultItem>& out, uint32_t key, const sim::DescriptorAnswer& a) {
    if (a.failWith != 0 || a.bytesReturned) {
        addFault(out, DESK_ITEM_DESCRIPTOR_FAULT, key, a.failWith, std::nullopt, a.bytesReturned);
    } else if (a.bytesAfterFirstRead) {
        // The read counter lives in a fault record even when nothing fails.
        desk_fault fault{};
        const auto* bytes = reinterpret_cast<const uint8_t*>(&fault);
        out.push_back({DESK_ITEM_DESCRIPTOR_FAULT, key, std::vector<uint8_t>(bytes, bytes + sizeof fault)});
    }
    if (a.bytesAfterFirstRead) out.push_back({DESK_ITEM_DESCRIPTOR_LATER, key, *a.bytesAfterFirstRead});
}

void addDescriptors(std::vector<FaultItem>& out, const sim::Device& d) {
    for (size_t i = 0; i < d.configurations.size(); ++i)
        addDescriptor(out, descriptorKey(2, static_cast<unsigned>(i), 0), d.configurations[i]);
    if (d.languages) addDescriptor(out, descriptorKey(3, 0, 0), *d.languages);
    for (const auto& byIndex : d.strings)
        for (const auto& byLanguage : byIndex.second)
            addDescriptor(out, descriptorKey(3, byIndex.first, byLanguage.first), byLanguage.second);
    if (d.bos) addDescriptor(out, descriptorKey(15, 0, 0), *d.bos);
    for (const auto& other : d.otherDescriptors)
        addDescriptor(out, descriptorKey(other.first >> 8, other.first & 0xFF, 0), other.second);
}

void addHub(std::vector<FaultItem>& out, const sim::Hub& hub) {
    addFault(out, DESK_ITEM_FAULT, DESK_FAULT_OPEN, hub.openError);
    addFault(out, DESK_ITEM_FAULT, DESK_FAULT_NODE_INFO, hub.nodeInfoError);
    for (size_t i = 0; i < hub.ports.size() && i < 255; ++i) {
        const sim::Port& port = hub.ports[i];
        uint32_t number = static_cast<uint32_t>(i + 1);
        addFault(out, DESK_ITEM_FAULT, DESK_FAULT_KEY(DESK_FAULT_CONNECTION_INFO_EX, number), port.connectionInfoExError);
        addFault(out, DESK_ITEM_FAULT, DESK_FAULT_KEY(DESK_FAULT_CONNECTION_INFO, number), port.connectionInfoError);
        addName(out, DESK_FAULT_KEY(DESK_FAULT_DRIVER_KEY, number), port.driverKeyAnswer);
        addName(out, DESK_FAULT_KEY(DESK_FAULT_NODE_NAME, number), port.nodeNameAnswer);
    }
}

// Where an object sits, for the loader's messages: "controller 0 port 2.1".
std::string place(size_t controller, const std::string& ports) {
    return "controller " + std::to_string(controller) + (ports.empty() ? "" : " port " + ports);
}

void listNode(std::vector<std::string>& out, const std::string& where, const sim::DevNode& n) {
    if (n.enumError) out.push_back(where + ": SetupDiEnumDeviceInfo error " + std::to_string(n.enumError));
    if (n.instanceIdError) out.push_back(where + ": instance id error " + std::to_string(n.instanceIdError));
    for (const auto& p : n.propertyErrors)
        out.push_back(where + ": property " + std::to_string(p.first) + " error " + std::to_string(p.second));
}

void listInterface(std::vector<std::string>& out, const std::string& where, const sim::InterfaceAnswer& i) {
    if (i.enumError) out.push_back(where + ": interface enumeration error " + std::to_string(i.enumError));
    if (i.sizeQueryError) out.push_back(where + ": interface size query error " + std::to_string(i.sizeQueryError));
    if (i.sizeQueryReportsSuccess || i.reportedRequiredSize) out.push_back(where + ": interface size query lie");
    if (i.detailError) out.push_back(where + ": interface detail error " + std::to_string(i.detailError));
}

void listError(std::vector<std::string>& out, const std::string& where, const char* what, uint32_t error) {
    uint32_t status = 0;
    if (error != 0 && !statusForError(error, &status))
        out.push_back(where + ": " + what + " error " + std::to_string(error) + " (no NTSTATUS carries it)");
}

void listHub(std::vector<std::string>& out, size_t controller, const std::string& at, const sim::Hub& hub);

void listDevice(std::vector<std::string>& out, size_t controller, const std::string& at, const sim::Device& d) {
    std::string where = place(controller, at);
    listNode(out, where, d.node);
    listInterface(out, where, d.usbInterface);
    listInterface(out, where, d.fixedClassInterface);
    if (d.heldOpen) out.push_back(where + ": held open by another program");
    if (d.arrival.interfacesAfterMs || d.arrival.hidStringsFailForMs) out.push_back(where + ": arrival timing");
    if (!d.isHub) listError(out, where, "open", d.openError);
    // The desk's HID minidriver serves a device's first HID interface.
    if (d.hidInterfaces.size() > 1)
        out.push_back(where + ": " + std::to_string(d.hidInterfaces.size() - 1) + " HID interface(s) after the first");
    for (size_t i = 0; i < d.hidInterfaces.size(); ++i) {
        const sim::HidInterface& h = d.hidInterfaces[i];
        std::string hid = where + " HID interface " + std::to_string(i);
        listNode(out, hid, h.node);
        listInterface(out, hid, h.interface);
        if (h.openError) out.push_back(hid + ": open error " + std::to_string(h.openError));
        if (h.attributesError) out.push_back(hid + ": attributes error " + std::to_string(h.attributesError));
        if (h.stringsError) out.push_back(hid + ": strings error " + std::to_string(h.stringsError));
        if (h.keyboardOrMouse) out.push_back(hid + ": keyboard or mouse");
        if (h.heldOpen) out.push_back(hid + ": held open by another program");
    }
    auto descriptor = [&](const char* what, const sim::DescriptorAnswer& a) { listError(out, where, what, a.failWith); };
    for (const auto& c : d.configurations) descriptor("configuration descriptor", c);
    if (d.languages) descriptor("language descriptor", *d.languages);
    for (const auto& byIndex : d.strings)
        for (const auto& byLanguage : byIndex.second) descriptor("string descriptor", byLanguage.second);
    if (d.bos) descriptor("BOS descriptor", *d.bos);
    for (const auto& other : d.otherDescriptors) descriptor("descriptor", other.second);
    if (d.isHub) listHub(out, controller, at, d.hub);
}

void listHub(std::vector<std::string>& out, size_t controller, const std::string& at, const sim::Hub& hub) {
    std::string where = place(controller, at);
    listInterface(out, where + " hub", hub.interface);
    listError(out, where, "hub open", hub.openError);
    listError(out, where, "node information", hub.nodeInfoError);
    for (size_t i = 0; i < hub.ports.size(); ++i) {
        const sim::Port& port = hub.ports[i];
        std::string child = at.empty() ? std::to_string(i + 1) : at + "." + std::to_string(i + 1);
        std::string portWhere = place(controller, child);
        listError(out, portWhere, "connection information (EX)", port.connectionInfoExError);
        listError(out, portWhere, "connection information", port.connectionInfoError);
        listError(out, portWhere, "driver key name", port.driverKeyAnswer.failWith);
        listError(out, portWhere, "node name", port.nodeNameAnswer.failWith);
        if (port.device) listDevice(out, controller, child, *port.device);
    }
}

}  // namespace

// An error becomes the status of facility FACILITY_NTWIN32 (0xC007xxxx),
// which ntdll maps back to the error itself (Wine dlls/ntdll/error.c,
// RtlNtStatusToDosErrorNoTeb: "HIWORD(status) == 0xc007 ... return
// LOWORD(status)"); ERROR_MORE_DATA becomes the warning
// STATUS_BUFFER_OVERFLOW, which the same table maps to it, so that the
// answer still goes back as from a real driver.
bool statusForError(uint32_t error, uint32_t* status) {
    if (error == 0) {
        *status = 0;
        return true;
    }
    if (error == kErrorMoreData) {
        *status = kStatusBufferOverflow;
        return true;
    }
    if (error > 0xFFFF) return false;
    *status = 0xC0070000u | error;
    return true;
}

std::vector<FaultItem> faultItems(const DeskNode& node) {
    std::vector<FaultItem> out;
    if (node.kind == DESK_CONTROLLER) {
        const sim::HostController& c = *node.controller;
        addFault(out, DESK_ITEM_FAULT, DESK_FAULT_OPEN, c.openError);
        addName(out, DESK_FAULT_DRIVER_KEY, c.driverKeyAnswer);
        addName(out, DESK_FAULT_ROOT_HUB_NAME, c.rootHubNameAnswer);
        addFault(out, DESK_ITEM_FAULT, DESK_FAULT_CONTROLLER_INFO, c.controllerInfo.failWith);
        for (uint32_t i = 0; i < c.powerMap.size(); ++i)
            addFault(out, DESK_ITEM_FAULT, DESK_FAULT_KEY(DESK_FAULT_POWER_STATE, platform::kWdmUsbPowerSystemWorking + i),
                     c.powerMap[i].failWith);
        return out;
    }
    if (const sim::Hub* hub = node.hub()) addHub(out, *hub);
    if (node.kind == DESK_DEVICE) {
        if (!node.device->isHub) addFault(out, DESK_ITEM_FAULT, DESK_FAULT_OPEN, node.device->openError);
        addDescriptors(out, *node.device);
    }
    return out;
}

std::vector<std::string> unservedFaults(const sim::Machine& machine) {
    std::vector<std::string> out;
    for (size_t i = 0; i < machine.controllers.size(); ++i) {
        const sim::HostController& c = machine.controllers[i];
        std::string where = place(i, "");
        listNode(out, where, c.node);
        listNode(out, where + " root hub", c.rootHubNode);
        listInterface(out, where, c.interface);
        listError(out, where, "open", c.openError);
        listError(out, where, "driver key name", c.driverKeyAnswer.failWith);
        listError(out, where, "root hub name", c.rootHubNameAnswer.failWith);
        listError(out, where, "controller information", c.controllerInfo.failWith);
        for (const sim::PowerAnswer& p : c.powerMap) listError(out, where, "power map", p.failWith);
        listHub(out, i, "", c.rootHub);
    }
    for (const sim::DevNode& other : machine.otherDevices) listNode(out, "device outside the USB tree", other);
    if (!machine.winUsbLibrary.present || !machine.winUsbLibrary.missingEntryPoints.empty())
        out.push_back("winusb.dll: Wine has none");
    return out;
}

}  // namespace desk
