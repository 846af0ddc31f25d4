#include "machine_program.h"

#include <cstring>
#include <functional>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "platform/sim/model/text.h"

namespace fuzz {
namespace {

constexpr size_t kLargestBlob = 1024;  // more than any descriptor request asks for
constexpr uint16_t kDefaultLanguage = 0x0409;

// Every object of the machine an instruction can pick, in a fixed
// depth-first order. Pointers stay valid until the machine's structure
// changes, so they are gathered again for every instruction.
struct MachineObjects {
    std::vector<sim::HostController*> controllers;
    std::vector<sim::Hub*> hubs;
    std::vector<sim::Port*> ports;
    std::vector<sim::Device*> devices;
    std::vector<sim::DevNode*> nodes;
    std::vector<sim::InterfaceAnswer*> interfaces;

    void addPorts(std::vector<sim::Port>& list) {
        for (sim::Port& port : list) {
            ports.push_back(&port);
            if (!port.device) continue;
            sim::Device& d = *port.device;
            devices.push_back(&d);
            nodes.push_back(&d.node);
            interfaces.push_back(&d.usbInterface);
            interfaces.push_back(&d.fixedClassInterface);
            for (sim::HidInterface& hid : d.hidInterfaces) {
                nodes.push_back(&hid.node);
                interfaces.push_back(&hid.interface);
            }
            if (d.isHub) {
                hubs.push_back(&d.hub);
                interfaces.push_back(&d.hub.interface);
                addPorts(d.hub.ports);
            }
        }
    }

    explicit MachineObjects(sim::Machine& machine) {
        for (sim::HostController& c : machine.controllers) {
            controllers.push_back(&c);
            nodes.push_back(&c.node);
            nodes.push_back(&c.rootHubNode);
            interfaces.push_back(&c.interface);
            hubs.push_back(&c.rootHub);
            interfaces.push_back(&c.rootHub.interface);
            addPorts(c.rootHub.ports);
        }
        for (sim::DevNode& node : machine.otherDevices) nodes.push_back(&node);
    }
};

template <typename T>
T* pick(const std::vector<T*>& objects, uint8_t selector) {
    return objects.empty() ? nullptr : objects[selector % objects.size()];
}

std::optional<std::u16string> readText(ByteReader& in) {
    uint8_t head = in.u8();
    size_t count = head & 0x3F;
    std::u16string text;
    switch (head >> 6) {
        case text_form::kUnits:
            for (size_t i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(in.u16()));
            return text;
        case text_form::kBytes:
            for (size_t i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(in.u8()));
            return text;
        case text_form::kRepeated: {
            std::vector<uint8_t> pattern = in.bytes(count);
            size_t times = size_t{in.u8()} + 1;
            for (size_t t = 0; t < times; ++t)
                for (uint8_t b : pattern) text.push_back(static_cast<char16_t>(b));
            return text;
        }
        default:
            return std::nullopt;
    }
}

// The model keeps UTF-8; unpaired surrogates arrive as U+FFFD.
std::string modelText(const std::optional<std::u16string>& text) {
    return text ? sim::utf16ToUtf8(*text) : std::string();
}
std::optional<std::string> optionalText(const std::optional<std::u16string>& text) {
    if (!text) return std::nullopt;
    return sim::utf16ToUtf8(*text);
}

sim::DescriptorAnswer answerOf(std::vector<uint8_t> bytes) {
    sim::DescriptorAnswer a;
    a.bytes = std::move(bytes);
    return a;
}

// A string descriptor of exactly these code units (at most 126).
std::vector<uint8_t> stringDescriptor(const std::u16string& text) {
    size_t count = text.size() > 126 ? 126 : text.size();
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 + 2 * count), 3};
    for (size_t i = 0; i < count; ++i) {
        out.push_back(static_cast<uint8_t>(text[i]));
        out.push_back(static_cast<uint8_t>(text[i] >> 8));
    }
    return out;
}

// The languages a device lists, as its own language descriptor says.
std::vector<uint16_t> listedLanguages(const sim::Device& d) {
    std::vector<uint16_t> out;
    if (d.languages) {
        const std::vector<uint8_t>& b = d.languages->bytes;
        for (size_t i = 2; i + 1 < b.size(); i += 2) out.push_back(static_cast<uint16_t>(b[i] | b[i + 1] << 8));
    }
    if (out.empty()) out.push_back(kDefaultLanguage);
    return out;
}

void applyDeviceShape(sim::Device& d, uint8_t what, uint32_t value) {
    switch (what % 5) {
        case shape::kSpeed: d.speed = static_cast<sim::Speed>(value % 4); break;
        case shape::kAddress: d.address = static_cast<uint16_t>(value); break;
        case shape::kCurrentConfiguration: d.currentConfiguration = static_cast<uint8_t>(value); break;
        case shape::kIsHub: d.isHub = (value & 1) != 0; break;
        default: d.openError = value; break;
    }
}

sim::DescriptorAnswer* chosenAnswer(sim::Device& d, uint8_t which, uint8_t selector) {
    switch (which % 4) {
        case answer::kConfiguration:
            if (d.configurations.empty()) return nullptr;
            return &d.configurations[selector % d.configurations.size()];
        case answer::kBos:
            return d.bos ? &*d.bos : nullptr;
        case answer::kLanguages:
            return d.languages ? &*d.languages : nullptr;
        default: {
            std::vector<sim::DescriptorAnswer*> all;
            for (auto& byIndex : d.strings)
                for (auto& byLanguage : byIndex.second) all.push_back(&byLanguage.second);
            return pick(all, selector);
        }
    }
}

void applyAnswerLie(sim::DescriptorAnswer& a, uint8_t how, uint32_t value, std::vector<uint8_t> bytes) {
    switch (how % 4) {
        case answer::kBytesReturned: a.bytesReturned = value; break;
        case answer::kFailWith: a.failWith = value; break;
        case answer::kChangesAfterFirstRead: a.bytesAfterFirstRead = std::move(bytes); break;
        default:
            a.bytesReturned.reset();
            a.failWith = 0;
            a.bytesAfterFirstRead.reset();
            break;
    }
}

void applyDeviceText(sim::Device& d, uint8_t which, const std::optional<std::u16string>& text) {
    switch (which % 10) {
        case device_text::kHubDriverKey:
            // The hub and the SetupAPI agree on it, as they do on a real machine.
            d.driverKey = modelText(text);
            d.node.driver = optionalText(text);
            break;
        case device_text::kNodeDriver: d.node.driver = optionalText(text); break;
        case device_text::kService: d.node.service = optionalText(text); break;
        case device_text::kDescription: d.node.description = optionalText(text); break;
        case device_text::kInstanceId: d.node.instanceId = optionalText(text); break;
        case device_text::kSetupClass: d.node.setupClass = optionalText(text); break;
        case device_text::kHardwareId:
            d.node.hardwareIds.clear();
            if (text) d.node.hardwareIds.push_back(modelText(text));
            break;
        case device_text::kInterfacePath: d.usbInterface.path = modelText(text); break;
        case device_text::kFixedClassPath: d.fixedClassInterface.path = modelText(text); break;
        default:
            if (d.isHub) d.hub.name = modelText(text);
            break;
    }
}

void applyNodeFault(sim::DevNode& node, uint8_t how, uint32_t value) {
    switch (how % 5) {
        case node_fault::kEnumError: node.enumError = value; break;
        case node_fault::kInstanceIdError: node.instanceIdError = value; break;
        case node_fault::kPropertyError: node.propertyErrors[value & 0xFF] = value >> 8; break;
        case node_fault::kBusNumber: node.busNumber = value; break;
        default: node.address = value; break;
    }
}

void applyInterfaceLie(sim::InterfaceAnswer& i, uint8_t how, uint32_t value) {
    switch (how % 5) {
        case interface_lie::kEnumError: i.enumError = value; break;
        case interface_lie::kSizeQueryError: i.sizeQueryError = value; break;
        case interface_lie::kSizeQueryReportsSuccess: i.sizeQueryReportsSuccess = (value & 1) != 0; break;
        case interface_lie::kRequiredSize: i.reportedRequiredSize = value; break;
        default: i.detailError = value; break;
    }
}

void applyPortKnob(sim::Port& p, uint8_t how, uint32_t value) {
    switch (how % 10) {
        case port_knob::kConnectionStatus: p.connectionStatus = value; break;
        case port_knob::kConnectionInfoExError: p.connectionInfoExError = value; break;
        case port_knob::kConnectionInfoError: p.connectionInfoError = value; break;
        case port_knob::kDriverKeyFails: p.driverKeyAnswer.failWith = value; break;
        case port_knob::kDriverKeyActualLength: p.driverKeyAnswer.actualLength = value; break;
        case port_knob::kDriverKeyBytesReturned: p.driverKeyAnswer.bytesReturned = value; break;
        case port_knob::kNodeNameFails: p.nodeNameAnswer.failWith = value; break;
        case port_knob::kNodeNameActualLength: p.nodeNameAnswer.actualLength = value; break;
        case port_knob::kNodeNameBytesReturned: p.nodeNameAnswer.bytesReturned = value; break;
        default: p.device.reset(); break;
    }
}

bool hubKnobTakesText(uint8_t how) { return how % 7 >= hub_knob::kName; }

void applyHubKnob(sim::Hub& h, uint8_t how, uint32_t value, const std::optional<std::u16string>& text) {
    switch (how % 7) {
        case hub_knob::kOpenError: h.openError = value; break;
        case hub_knob::kNodeInfoError: h.nodeInfoError = value; break;
        case hub_knob::kReportedPorts: h.reportedPortCount = static_cast<uint8_t>(value); break;
        case hub_knob::kSuperSpeed: h.superSpeed = (value & 1) != 0; break;
        case hub_knob::kBusPowered: h.busPowered = (value & 1) != 0; break;
        case hub_knob::kName: h.name = modelText(text); break;
        default: h.interface.path = modelText(text); break;
    }
}

bool hidKnobTakesText(uint8_t how) {
    uint8_t k = how % 9;
    return k >= hid_knob::kManufacturer && k <= hid_knob::kPath;
}

// A further HID interface of the device, named from the identity.
void addHidInterface(sim::Device& d, uint32_t identity) {
    sim::HidInterface h;
    h.vendorId = d.descriptor.idVendor;
    h.productId = d.descriptor.idProduct;
    h.versionNumber = d.descriptor.bcdDevice;
    std::string ids = "VID_" + sim::hex4(h.vendorId) + "&PID_" + sim::hex4(h.productId);
    std::string suffix = "7&F" + std::to_string(identity) + "&0&0000";
    h.node.instanceId = "HID\\" + ids + "\\" + suffix;
    h.node.description = "HID-compliant device";
    h.node.setupClass = "HIDClass";
    h.node.driver = "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\" + std::to_string(identity);
    h.interface.path = "\\\\?\\hid#" + sim::lowerAscii(ids) + "#" + suffix + "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    d.hidInterfaces.push_back(h);
}

void applyHidKnob(sim::Device& d, uint8_t selector, uint8_t how, uint32_t value,
                  const std::optional<std::u16string>& text, uint32_t& nextIdentity) {
    if (how % 9 == hid_knob::kAdd) {
        addHidInterface(d, nextIdentity++);
        return;
    }
    if (d.hidInterfaces.empty()) return;
    sim::HidInterface& h = d.hidInterfaces[selector % d.hidInterfaces.size()];
    switch (how % 9) {
        case hid_knob::kVendor: h.vendorId = static_cast<uint16_t>(value); break;
        case hid_knob::kProduct: h.productId = static_cast<uint16_t>(value); break;
        case hid_knob::kManufacturer: h.manufacturer = optionalText(text); break;
        case hid_knob::kProductText: h.product = optionalText(text); break;
        case hid_knob::kSerial: h.serialNumber = optionalText(text); break;
        case hid_knob::kPath: h.interface.path = modelText(text); break;
        case hid_knob::kOpenError: h.openError = value; break;
        default: h.attributesError = value; break;
    }
}

enum class Operand { Value, Text, SlotAndBlob };

Operand controllerOperand(uint8_t how) {
    uint8_t k = how % 11;
    if (k == controller_knob::kDriverKey || k == controller_knob::kInstanceId) return Operand::Text;
    if (k == controller_knob::kPowerMap || k == controller_knob::kControllerInfo) return Operand::SlotAndBlob;
    return Operand::Value;
}

// Raw bytes over a record; a single byte makes the request fail instead.
template <typename Record, typename Answer>
void applyRecordBytes(Answer& answer, Record& record, const std::vector<uint8_t>& bytes) {
    if (bytes.size() == 1) {
        answer.failWith = bytes[0];
        return;
    }
    answer.failWith = 0;
    if (!bytes.empty()) std::memcpy(&record, bytes.data(), bytes.size() < sizeof record ? bytes.size() : sizeof record);
}

void applyControllerKnob(sim::HostController& c, uint8_t how, uint32_t value,
                         const std::optional<std::u16string>& text, uint8_t slot, const std::vector<uint8_t>& bytes) {
    switch (how % 11) {
        case controller_knob::kDriverKey:
            c.driverKey = modelText(text);
            c.node.driver = optionalText(text);
            break;
        case controller_knob::kDriverKeyFails: c.driverKeyAnswer.failWith = value; break;
        case controller_knob::kDriverKeyActualLength: c.driverKeyAnswer.actualLength = value; break;
        case controller_knob::kDriverKeyBytesReturned: c.driverKeyAnswer.bytesReturned = value; break;
        case controller_knob::kRootHubNameFails: c.rootHubNameAnswer.failWith = value; break;
        case controller_knob::kRootHubNameActualLength: c.rootHubNameAnswer.actualLength = value; break;
        case controller_knob::kRootHubNameBytesReturned: c.rootHubNameAnswer.bytesReturned = value; break;
        case controller_knob::kPowerMap: {
            sim::PowerAnswer& p = c.powerMap[slot % c.powerMap.size()];
            applyRecordBytes(p, p.info, bytes);
            break;
        }
        case controller_knob::kControllerInfo:
            applyRecordBytes(c.controllerInfo, c.controllerInfo.info, bytes);
            break;
        case controller_knob::kOpenError: c.openError = value; break;
        default: c.node.instanceId = optionalText(text); break;
    }
}

sim::Device newDevice(uint16_t vendor, uint16_t product, uint8_t kind, uint32_t identity) {
    sim::DeviceBuilder b(vendor, product);
    b.identity(identity);
    if ((kind & device_kind::kWithStrings) != 0)
        b.strings("Fuzz Maker", "Fuzz Device", "FZ-" + std::to_string(identity));
    switch ((kind & 0x0F) % 5) {
        case device_kind::kWinUsb: b.winUsb(); break;
        case device_kind::kHid: b.hid(); break;
        case device_kind::kMassStorage: b.massStorage(); break;
        case device_kind::kHub: b.hub(sim::HubBuilder(static_cast<uint8_t>(1 + (kind >> 4 & 7)))); break;
        default: break;
    }
    return b.build();
}

uint32_t errorOf(uint8_t choice) {
    // Errors a failing platform call reports: out of memory, access denied,
    // a device that stalled or went away, buffer too small, no more items,
    // invalid data or parameter, and a failure that reports no error.
    static const uint32_t errors[] = {8, 5, 31, 122, 259, 1167, 2, 87, 13, 1784, 0};
    return errors[choice % (sizeof errors / sizeof errors[0])];
}

}  // namespace

const std::vector<std::string>& failableOperations() {
    static const std::vector<std::string> operations = {
        "HeapAlloc", "malloc", "CreateFileA", "CreateFileW", "DeviceIoControl", "SetupDiGetClassDevsW",
        "SetupDiEnumDeviceInfo", "SetupDiEnumDeviceInterfaces", "SetupDiGetDeviceInterfaceDetailW",
        "SetupDiGetDeviceInstanceIdA", "SetupDiGetDeviceRegistryPropertyA", "SetupDiGetDeviceRegistryPropertyW",
        "HidD_GetHidGuid", "HidD_GetAttributes", "MultiByteToWideChar", "GetModuleHandleA", "GetModuleFileNameA",
        "fopen", "fgets", "fread", "HidD_GetManufacturerString", "HidD_GetProductString",
        "HidD_GetSerialNumberString", "fputs", "fflush", "fclose"};
    return operations;
}

Stop applyInstructions(ByteReader& in, sim::Machine& machine, uint32_t& nextIdentity) {
    while (!in.atEnd()) {
        uint8_t opcode = in.u8() % kOpCount;
        if (opcode == kOpNextWalk) return Stop::NextWalk;
        MachineObjects objects(machine);
        // Operands are read in full before anything is looked up, so that an
        // instruction that finds nothing to change keeps the stream in step.
        switch (opcode) {
            case kOpDescriptorBytes: {
                sim::Device* d = pick(objects.devices, in.u8());
                std::vector<uint8_t> bytes = in.bytes(sizeof(platform::UsbDeviceDescriptor));
                if (d != nullptr && !bytes.empty()) std::memcpy(&d->descriptor, bytes.data(), bytes.size());
                break;
            }
            case kOpDescriptorByte: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t offset = in.u8() % sizeof(platform::UsbDeviceDescriptor);
                uint8_t value = in.u8();
                if (d != nullptr) reinterpret_cast<uint8_t*>(&d->descriptor)[offset] = value;
                break;
            }
            case kOpDeviceShape: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t what = in.u8();
                uint32_t value = in.u32();
                if (d != nullptr) applyDeviceShape(*d, what, value);
                break;
            }
            case kOpConfiguration: {
                sim::Device* d = pick(objects.devices, in.u8());
                size_t index = in.u8() % 4;
                std::vector<uint8_t> bytes = in.blob(kLargestBlob);
                if (d == nullptr) break;
                if (d->configurations.size() <= index) d->configurations.resize(index + 1);
                d->configurations[index] = answerOf(std::move(bytes));
                break;
            }
            case kOpBos:
            case kOpLanguages: {
                sim::Device* d = pick(objects.devices, in.u8());
                std::vector<uint8_t> bytes = in.blob(kLargestBlob);
                if (d == nullptr) break;
                std::optional<sim::DescriptorAnswer>& slot = opcode == kOpBos ? d->bos : d->languages;
                if (bytes.empty())
                    slot.reset();
                else
                    slot = answerOf(std::move(bytes));
                break;
            }
            case kOpLanguageList: {
                sim::Device* d = pick(objects.devices, in.u8());
                size_t count = in.u8() % 130;
                std::vector<uint16_t> languages;
                for (size_t i = 0; i < count; ++i) languages.push_back(in.u16());
                if (d != nullptr) d->languages = answerOf(sim::languageListBytes(languages));
                break;
            }
            case kOpStringBytes: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t index = in.u8();
                uint16_t language = in.u16();
                std::vector<uint8_t> bytes = in.blob(kLargestBlob);
                if (d != nullptr) d->strings[index][language] = answerOf(std::move(bytes));
                break;
            }
            case kOpStringText: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t index = in.u8();
                uint16_t language = in.u16();
                std::optional<std::u16string> text = readText(in);
                if (d == nullptr) break;
                // Language 0 stands for every language the device lists.
                std::vector<uint16_t> languages = language != 0 ? std::vector<uint16_t>{language} : listedLanguages(*d);
                for (uint16_t l : languages) {
                    if (text)
                        d->strings[index][l] = answerOf(stringDescriptor(*text));
                    else
                        d->strings[index].erase(l);
                }
                break;
            }
            case kOpAnswerLie: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t which = in.u8();
                uint8_t selector = in.u8();
                uint8_t how = in.u8();
                uint32_t value = 0;
                std::vector<uint8_t> bytes;
                if (how % 4 == answer::kChangesAfterFirstRead)
                    bytes = in.blob(kLargestBlob);
                else
                    value = in.u32();
                sim::DescriptorAnswer* a = d != nullptr ? chosenAnswer(*d, which, selector) : nullptr;
                if (a != nullptr) applyAnswerLie(*a, how, value, std::move(bytes));
                break;
            }
            case kOpDeviceText: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t which = in.u8();
                std::optional<std::u16string> text = readText(in);
                if (d != nullptr) applyDeviceText(*d, which, text);
                break;
            }
            case kOpNodeFault: {
                sim::DevNode* node = pick(objects.nodes, in.u8());
                uint8_t how = in.u8();
                uint32_t value = in.u32();
                if (node != nullptr) applyNodeFault(*node, how, value);
                break;
            }
            case kOpInterfaceLie: {
                sim::InterfaceAnswer* i = pick(objects.interfaces, in.u8());
                uint8_t how = in.u8();
                uint32_t value = in.u32();
                if (i != nullptr) applyInterfaceLie(*i, how, value);
                break;
            }
            case kOpPortKnob: {
                sim::Port* p = pick(objects.ports, in.u8());
                uint8_t how = in.u8();
                uint32_t value = in.u32();
                if (p != nullptr) applyPortKnob(*p, how, value);
                break;
            }
            case kOpHubKnob: {
                sim::Hub* h = pick(objects.hubs, in.u8());
                uint8_t how = in.u8();
                uint32_t value = 0;
                std::optional<std::u16string> text;
                if (hubKnobTakesText(how))
                    text = readText(in);
                else
                    value = in.u32();
                if (h != nullptr) applyHubKnob(*h, how, value, text);
                break;
            }
            case kOpHidKnob: {
                sim::Device* d = pick(objects.devices, in.u8());
                uint8_t selector = in.u8();
                uint8_t how = in.u8();
                uint32_t value = 0;
                std::optional<std::u16string> text;
                if (hidKnobTakesText(how))
                    text = readText(in);
                else if (how % 9 != hid_knob::kAdd)
                    value = in.u32();
                if (d != nullptr) applyHidKnob(*d, selector, how, value, text, nextIdentity);
                break;
            }
            case kOpControllerKnob: {
                sim::HostController* c = pick(objects.controllers, in.u8());
                uint8_t how = in.u8();
                uint32_t value = 0;
                uint8_t slot = 0;
                std::optional<std::u16string> text;
                std::vector<uint8_t> bytes;
                switch (controllerOperand(how)) {
                    case Operand::Text: text = readText(in); break;
                    case Operand::SlotAndBlob:
                        slot = in.u8();
                        bytes = in.blob(kLargestBlob);
                        break;
                    default: value = in.u32(); break;
                }
                if (c != nullptr) applyControllerKnob(*c, how, value, text, slot, bytes);
                break;
            }
            case kOpAddDevice: {
                sim::Port* p = pick(objects.ports, in.u8());
                uint16_t vendor = in.u16();
                uint16_t product = in.u16();
                uint8_t kind = in.u8();
                if (p == nullptr) break;
                p->device = newDevice(vendor, product, kind, nextIdentity++);
                p->connectionStatus.reset();
                break;
            }
            case kOpFailCall: {
                const std::vector<std::string>& operations = failableOperations();
                const std::string& operation = operations[in.u8() % operations.size()];
                uint64_t n = uint64_t{in.u16()} + 1;
                uint32_t error = errorOf(in.u8());
                sim::failNthCall(operation, n, error);
                break;
            }
            default:
                break;
        }
    }
    return Stop::End;
}

MachineProgram::MachineProgram(uint8_t flags, uint16_t vendor) {
    out_.u8(flags);
    if ((flags & walk_flags::kOneVendor) != 0) out_.u16(vendor);
}

MachineProgram& MachineProgram::text(const std::optional<std::u16string>& text) {
    if (!text) {
        out_.u8(text_form::kAbsent << 6);
        return *this;
    }
    const std::u16string& t = *text;
    bool narrow = true;
    for (char16_t unit : t) narrow = narrow && unit <= 0xFF;
    if (t.size() <= 63) {
        out_.u8(static_cast<uint8_t>((narrow ? text_form::kBytes : text_form::kUnits) << 6 | t.size()));
        for (char16_t unit : t) {
            if (narrow)
                out_.u8(static_cast<uint8_t>(unit));
            else
                out_.u16(static_cast<uint16_t>(unit));
        }
        return *this;
    }
    // A long narrow text is written as its shortest repeating pattern of at
    // most 63 units; what does not repeat exactly is cut to that form.
    size_t period = 1;
    while (period < 63 && (t.size() % period != 0 || t.compare(period, std::u16string::npos, t, 0,
                                                              t.size() - period) != 0))
        ++period;
    size_t times = t.size() / period;
    if (times > 256) times = 256;
    out_.u8(static_cast<uint8_t>(text_form::kRepeated << 6 | period));
    for (size_t i = 0; i < period; ++i) out_.u8(static_cast<uint8_t>(t[i]));
    out_.u8(static_cast<uint8_t>(times - 1));
    return *this;
}

MachineProgram& MachineProgram::descriptorBytes(uint8_t device, const std::vector<uint8_t>& bytes) {
    out_.u8(kOpDescriptorBytes).u8(device).bytes(bytes);
    return *this;
}
MachineProgram& MachineProgram::descriptorByte(uint8_t device, uint8_t offset, uint8_t value) {
    out_.u8(kOpDescriptorByte).u8(device).u8(offset).u8(value);
    return *this;
}
MachineProgram& MachineProgram::deviceShape(uint8_t device, uint8_t what, uint32_t value) {
    out_.u8(kOpDeviceShape).u8(device).u8(what).u32(value);
    return *this;
}
MachineProgram& MachineProgram::configuration(uint8_t device, uint8_t index, const std::vector<uint8_t>& bytes) {
    out_.u8(kOpConfiguration).u8(device).u8(index).blob(bytes);
    return *this;
}
MachineProgram& MachineProgram::bos(uint8_t device, const std::vector<uint8_t>& bytes) {
    out_.u8(kOpBos).u8(device).blob(bytes);
    return *this;
}
MachineProgram& MachineProgram::languages(uint8_t device, const std::vector<uint8_t>& bytes) {
    out_.u8(kOpLanguages).u8(device).blob(bytes);
    return *this;
}
MachineProgram& MachineProgram::languageList(uint8_t device, const std::vector<uint16_t>& languages) {
    out_.u8(kOpLanguageList).u8(device).u8(static_cast<uint8_t>(languages.size()));
    for (uint16_t l : languages) out_.u16(l);
    return *this;
}
MachineProgram& MachineProgram::stringBytes(uint8_t device, uint8_t index, uint16_t language,
                                            const std::vector<uint8_t>& bytes) {
    out_.u8(kOpStringBytes).u8(device).u8(index).u16(language).blob(bytes);
    return *this;
}
MachineProgram& MachineProgram::stringText(uint8_t device, uint8_t index, uint16_t language,
                                           const std::u16string& t) {
    out_.u8(kOpStringText).u8(device).u8(index).u16(language);
    return text(t);
}
MachineProgram& MachineProgram::answerLie(uint8_t device, uint8_t which, uint8_t selector, uint8_t how,
                                          uint32_t value, const std::vector<uint8_t>& bytes) {
    out_.u8(kOpAnswerLie).u8(device).u8(which).u8(selector).u8(how);
    if (how % 4 == answer::kChangesAfterFirstRead)
        out_.blob(bytes);
    else
        out_.u32(value);
    return *this;
}
MachineProgram& MachineProgram::deviceText(uint8_t device, uint8_t which, const std::optional<std::u16string>& t) {
    out_.u8(kOpDeviceText).u8(device).u8(which);
    return text(t);
}
MachineProgram& MachineProgram::nodeFault(uint8_t node, uint8_t how, uint32_t value) {
    out_.u8(kOpNodeFault).u8(node).u8(how).u32(value);
    return *this;
}
MachineProgram& MachineProgram::interfaceLie(uint8_t interface, uint8_t how, uint32_t value) {
    out_.u8(kOpInterfaceLie).u8(interface).u8(how).u32(value);
    return *this;
}
MachineProgram& MachineProgram::portKnob(uint8_t port, uint8_t how, uint32_t value) {
    out_.u8(kOpPortKnob).u8(port).u8(how).u32(value);
    return *this;
}
MachineProgram& MachineProgram::hubValue(uint8_t hub, uint8_t how, uint32_t value) {
    out_.u8(kOpHubKnob).u8(hub).u8(how).u32(value);
    return *this;
}
MachineProgram& MachineProgram::hubText(uint8_t hub, uint8_t how, const std::optional<std::u16string>& t) {
    out_.u8(kOpHubKnob).u8(hub).u8(how);
    return text(t);
}
MachineProgram& MachineProgram::hidValue(uint8_t device, uint8_t hid, uint8_t how, uint32_t value) {
    out_.u8(kOpHidKnob).u8(device).u8(hid).u8(how);
    if (how % 9 != hid_knob::kAdd) out_.u32(value);
    return *this;
}
MachineProgram& MachineProgram::hidText(uint8_t device, uint8_t hid, uint8_t how,
                                        const std::optional<std::u16string>& t) {
    out_.u8(kOpHidKnob).u8(device).u8(hid).u8(how);
    return text(t);
}
MachineProgram& MachineProgram::controllerValue(uint8_t controller, uint8_t how, uint32_t value) {
    out_.u8(kOpControllerKnob).u8(controller).u8(how).u32(value);
    return *this;
}
MachineProgram& MachineProgram::controllerText(uint8_t controller, uint8_t how,
                                               const std::optional<std::u16string>& t) {
    out_.u8(kOpControllerKnob).u8(controller).u8(how);
    return text(t);
}
MachineProgram& MachineProgram::controllerBlob(uint8_t controller, uint8_t how, uint8_t slot,
                                               const std::vector<uint8_t>& bytes) {
    out_.u8(kOpControllerKnob).u8(controller).u8(how).u8(slot).blob(bytes);
    return *this;
}
MachineProgram& MachineProgram::addDevice(uint8_t port, uint16_t vendor, uint16_t product, uint8_t kind) {
    out_.u8(kOpAddDevice).u8(port).u16(vendor).u16(product).u8(kind);
    return *this;
}
MachineProgram& MachineProgram::failCall(uint8_t operation, uint16_t n, uint8_t error) {
    out_.u8(kOpFailCall).u8(operation).u16(n).u8(error);
    return *this;
}
MachineProgram& MachineProgram::nextWalk() {
    out_.u8(kOpNextWalk);
    return *this;
}

}  // namespace fuzz
