// The capture walk. It asks what the library's own walk asks, in the same
// way (size queries, then reads of exactly the reported size), but keeps
// every answer, and the error of every request that fails, instead of
// leaving things out.
#include "tools/bench/machine_capture.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/hid.h"
#include "platform/setupapi.h"
#include "platform/usb_requests.h"
#include "platform/sim/model/text.h"

namespace bench_tool {
namespace {

constexpr uint32_t kMissingProperty = 13;  // ERROR_INVALID_DATA: the node has no such property
constexpr uint32_t kLargestName = 0x10000;
constexpr uint32_t kDescriptorHeader = platform::kDescriptorRequestHeaderSize;
constexpr int kDeepestHub = 16;

// -- SetupAPI --------------------------------------------------------------

// The narrow calls answer in the ANSI code page: one byte per character.
std::string latin1ToUtf8(const uint8_t* bytes, size_t size) {
    std::string out;
    for (size_t i = 0; i < size && bytes[i] != 0; ++i) sim::appendUtf8(out, bytes[i]);
    return out;
}

// A text property (REG_SZ or REG_MULTI_SZ) as its raw bytes; false with
// the error when the read fails (a missing property included).
bool readPropertyBytes(platform::DevInfoSet set, platform::SpDevinfoData* device, uint32_t code,
                       std::vector<uint8_t>* bytes, uint32_t* error) {
    uint32_t required = 0;
    bool answered = platform::SetupDiGetDeviceRegistryPropertyA(set, device, code, nullptr, nullptr, 0, &required);
    uint32_t sizeError = platform::GetLastError();
    if (answered || sizeError != platform::kErrorInsufficientBuffer || required == 0) {
        *error = answered ? kMissingProperty : sizeError;
        return false;
    }
    bytes->assign(required, 0);
    if (!platform::SetupDiGetDeviceRegistryPropertyA(set, device, code, nullptr, bytes->data(), required, nullptr)) {
        *error = platform::GetLastError();
        return false;
    }
    return true;
}

void readTextProperty(platform::DevInfoSet set, platform::SpDevinfoData* device, uint32_t code, sim::DevNode* node,
                      std::optional<std::string>* out) {
    std::vector<uint8_t> bytes;
    uint32_t error = 0;
    if (readPropertyBytes(set, device, code, &bytes, &error)) {
        *out = latin1ToUtf8(bytes.data(), bytes.size());
    } else if (error != kMissingProperty) {
        node->propertyErrors[code] = error;
    }
}

void readNumberProperty(platform::DevInfoSet set, platform::SpDevinfoData* device, uint32_t code,
                        sim::DevNode* node, std::optional<uint32_t>* out) {
    uint8_t value[4] = {};
    if (platform::SetupDiGetDeviceRegistryPropertyW(set, device, code, nullptr, value, sizeof value, nullptr)) {
        uint32_t number;
        std::memcpy(&number, value, sizeof number);
        *out = number;
        return;
    }
    uint32_t error = platform::GetLastError();
    if (error != kMissingProperty) node->propertyErrors[code] = error;
}

sim::DevNode readNode(platform::DevInfoSet set, platform::SpDevinfoData* device) {
    sim::DevNode node;
    uint32_t required = 0;
    bool answered = platform::SetupDiGetDeviceInstanceIdA(set, device, nullptr, 0, &required);
    uint32_t error = platform::GetLastError();
    if (!answered && error == platform::kErrorInsufficientBuffer && required > 0 && required < kLargestName) {
        std::vector<char> text(required + 1, 0);
        if (platform::SetupDiGetDeviceInstanceIdA(set, device, text.data(), required, nullptr))
            node.instanceId = latin1ToUtf8(reinterpret_cast<const uint8_t*>(text.data()), required);
        else
            node.instanceIdError = platform::GetLastError();
    } else if (!answered) {
        node.instanceIdError = error;
    }
    readTextProperty(set, device, platform::kSpdrpDeviceDesc, &node, &node.description);
    std::vector<uint8_t> ids;
    uint32_t idsError = 0;
    if (readPropertyBytes(set, device, platform::kSpdrpHardwareId, &ids, &idsError)) {
        // REG_MULTI_SZ: texts, each closed by a zero byte, then one more.
        size_t start = 0;
        for (size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] != 0) continue;
            if (i == start) break;
            node.hardwareIds.push_back(latin1ToUtf8(ids.data() + start, i - start));
            start = i + 1;
        }
    } else if (idsError != kMissingProperty) {
        node.propertyErrors[platform::kSpdrpHardwareId] = idsError;
    }
    readTextProperty(set, device, platform::kSpdrpService, &node, &node.service);
    readTextProperty(set, device, platform::kSpdrpClass, &node, &node.setupClass);
    readTextProperty(set, device, platform::kSpdrpDriver, &node, &node.driver);
    readNumberProperty(set, device, platform::kSpdrpBusNumber, &node, &node.busNumber);
    readNumberProperty(set, device, platform::kSpdrpAddress, &node, &node.address);
    return node;
}

// Every present device, in the order the all-devices set lists them.
std::vector<sim::DevNode> allDevices() {
    std::vector<sim::DevNode> nodes;
    platform::DevInfoSet set =
        platform::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, platform::kDigcfPresent | platform::kDigcfAllClasses);
    if (!platform::isValidHandle(set)) return nodes;
    for (uint32_t i = 0;; ++i) {
        platform::SpDevinfoData device{};
        device.cbSize = sizeof device;
        if (!platform::SetupDiEnumDeviceInfo(set, i, &device)) break;
        nodes.push_back(readNode(set, &device));
    }
    platform::SetupDiDestroyDeviceInfoList(set);
    return nodes;
}

// One present interface of a class, with the node it belongs to.
struct InterfaceSeen {
    sim::DevNode node;
    sim::InterfaceAnswer answer;
    bool claimed = false;
};

std::vector<InterfaceSeen> interfacesOf(const platform::Guid& interfaceClass) {
    std::vector<InterfaceSeen> seen;
    platform::DevInfoSet set = platform::SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                                              platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    if (!platform::isValidHandle(set)) return seen;
    for (uint32_t i = 0;; ++i) {
        platform::SpDevinfoData device{};
        device.cbSize = sizeof device;
        if (!platform::SetupDiEnumDeviceInfo(set, i, &device)) break;
        InterfaceSeen one;
        one.node = readNode(set, &device);
        platform::SpDeviceInterfaceData interface{};
        interface.cbSize = sizeof interface;
        if (!platform::SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, i, &interface)) {
            one.answer.enumError = platform::GetLastError();
            seen.push_back(one);
            continue;
        }
        uint32_t required = 0;
        bool answered = platform::SetupDiGetDeviceInterfaceDetailW(set, &interface, nullptr, 0, &required, nullptr);
        uint32_t error = platform::GetLastError();
        if (answered || error != platform::kErrorInsufficientBuffer || required < sizeof(uint32_t) + 2 ||
            required > kLargestName) {
            one.answer.sizeQueryError = answered ? 0 : error;
            seen.push_back(one);
            continue;
        }
        std::vector<uint8_t> buffer(required + 2, 0);
        auto* detail = reinterpret_cast<platform::SpDeviceInterfaceDetailDataW*>(buffer.data());
        detail->cbSize = 8;  // sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) on 64-bit Windows
        if (!platform::SetupDiGetDeviceInterfaceDetailW(set, &interface, detail, required, nullptr, nullptr)) {
            one.answer.detailError = platform::GetLastError();
        } else {
            std::u16string path;
            for (size_t at = offsetof(platform::SpDeviceInterfaceDetailDataW, DevicePath); at + 1 < required; at += 2) {
                char16_t unit = static_cast<char16_t>(buffer[at] | buffer[at + 1] << 8);
                if (unit == 0) break;
                path += unit;
            }
            one.answer.path = sim::utf16ToUtf8(path);
        }
        seen.push_back(one);
    }
    platform::SetupDiDestroyDeviceInfoList(set);
    return seen;
}

// The interface of a node with this driver key, taken once.
InterfaceSeen* claimByDriver(std::vector<InterfaceSeen>& list, const std::string& driverKey) {
    if (driverKey.empty()) return nullptr;
    for (InterfaceSeen& one : list)
        if (!one.claimed && one.node.driver && sim::equalsNoCase(*one.node.driver, driverKey)) {
            one.claimed = true;
            return &one;
        }
    return nullptr;
}

// -- hub and host-controller requests --------------------------------------

bool ask(platform::Handle device, uint32_t code, void* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    return platform::DeviceIoControl(device, code, buffer, size, buffer, size, returned, nullptr);
}

// The text of a name answer, from its byte offset to the terminator.
std::string nameText(const std::vector<uint8_t>& answer, size_t offset, uint32_t returned) {
    std::u16string text;
    size_t end = returned < answer.size() ? returned : answer.size();
    for (size_t at = offset; at + 1 < end; at += 2) {
        char16_t unit = static_cast<char16_t>(answer[at] | answer[at + 1] << 8);
        if (unit == 0) break;
        text += unit;
    }
    return sim::utf16ToUtf8(text);
}

// A name whose answer starts with ActualLength (host-controller driver key,
// root hub name): the head first, then the whole answer.
std::optional<std::string> actualLengthName(platform::Handle device, uint32_t code, bool sendsInput,
                                            sim::NameAnswer* knob) {
    std::vector<uint8_t> head(sizeof(platform::UsbActualLengthName), 0);
    uint32_t returned = 0;
    bool ok = platform::DeviceIoControl(device, code, sendsInput ? head.data() : nullptr,
                                        sendsInput ? static_cast<uint32_t>(head.size()) : 0, head.data(),
                                        static_cast<uint32_t>(head.size()), &returned, nullptr);
    if (!ok) {
        knob->failWith = platform::GetLastError();
        return std::nullopt;
    }
    uint32_t actual;
    std::memcpy(&actual, head.data(), sizeof actual);
    if (actual <= head.size() || actual > kLargestName) return std::nullopt;
    std::vector<uint8_t> answer(actual, 0);
    ok = platform::DeviceIoControl(device, code, sendsInput ? answer.data() : nullptr, sendsInput ? actual : 0,
                                   answer.data(), actual, &returned, nullptr);
    if (!ok) {
        knob->failWith = platform::GetLastError();
        return std::nullopt;
    }
    return nameText(answer, offsetof(platform::UsbActualLengthName, Name), returned);
}

// A name of the device on a hub port (driver key, hub name).
std::optional<std::string> connectionName(platform::Handle hub, uint32_t code, uint32_t port, sim::NameAnswer* knob) {
    std::vector<uint8_t> head(sizeof(platform::UsbConnectionName), 0);
    std::memcpy(head.data(), &port, sizeof port);
    uint32_t returned = 0;
    if (!ask(hub, code, head.data(), static_cast<uint32_t>(head.size()), &returned)) {
        knob->failWith = platform::GetLastError();
        return std::nullopt;
    }
    uint32_t actual;
    std::memcpy(&actual, head.data() + offsetof(platform::UsbConnectionName, ActualLength), sizeof actual);
    if (actual == 0 || actual > kLargestName) return std::nullopt;
    std::vector<uint8_t> answer(actual + head.size(), 0);
    std::memcpy(answer.data(), &port, sizeof port);
    if (!ask(hub, code, answer.data(), static_cast<uint32_t>(answer.size()), &returned)) {
        knob->failWith = platform::GetLastError();
        return std::nullopt;
    }
    return nameText(answer, offsetof(platform::UsbConnectionName, Name), returned);
}

// GET_DESCRIPTOR through the hub: the descriptor bytes the device sent, or
// the request's error in the answer's knob.
bool requestDescriptor(platform::Handle hub, uint32_t port, uint16_t value, uint16_t index, uint16_t length,
                       sim::DescriptorAnswer* out) {
    std::vector<uint8_t> buffer(kDescriptorHeader + length, 0);
    auto* request = reinterpret_cast<platform::UsbDescriptorRequest*>(buffer.data());
    request->ConnectionIndex = port;
    request->SetupPacket.bmRequest = 0x80;
    request->SetupPacket.bRequest = 6;  // GET_DESCRIPTOR
    request->SetupPacket.wValue = value;
    request->SetupPacket.wIndex = index;
    request->SetupPacket.wLength = length;
    uint32_t returned = 0;
    if (!ask(hub, platform::kIoctlUsbGetDescriptorFromNodeConnection, buffer.data(),
             static_cast<uint32_t>(buffer.size()), &returned)) {
        out->failWith = platform::GetLastError();
        return false;
    }
    if (returned > buffer.size()) returned = static_cast<uint32_t>(buffer.size());
    out->bytes.assign(buffer.begin() + (returned < kDescriptorHeader ? returned : kDescriptorHeader),
                      buffer.begin() + returned);
    out->failWith = 0;
    return true;
}

// A descriptor with a wTotalLength: its fixed part, then all of it.
std::optional<sim::DescriptorAnswer> wholeDescriptor(platform::Handle hub, uint32_t port, uint16_t value,
                                                     uint16_t head) {
    sim::DescriptorAnswer answer;
    if (!requestDescriptor(hub, port, value, 0, head, &answer)) return answer;
    if (answer.bytes.size() < 4) return answer;
    uint16_t total = static_cast<uint16_t>(answer.bytes[2] | answer.bytes[3] << 8);
    if (total < head) return answer;
    requestDescriptor(hub, port, value, 0, total, &answer);
    return answer;
}

// The string indices the library asks for: the device descriptor's, the
// configuration's, its interfaces' and associations'; a video function's
// indices 1 to 31 as well.
std::set<uint8_t> stringIndices(const platform::UsbDeviceDescriptor& device, const std::vector<uint8_t>& config) {
    std::set<uint8_t> indices;
    for (uint8_t index : {device.iManufacturer, device.iProduct, device.iSerialNumber})
        if (index != 0) indices.insert(index);
    bool video = false;
    for (size_t at = 0; at + 2 <= config.size();) {
        uint8_t length = config[at], type = config[at + 1];
        if (length < 2 || at + length > config.size()) break;
        if (type == 2 && length >= 9 && config[at + 6] != 0) indices.insert(config[at + 6]);
        if (type == 4 && length >= 9) {
            if (config[at + 5] == 0x0E) video = true;
            if (config[at + 8] != 0) indices.insert(config[at + 8]);
        }
        if (type == 11 && length >= 8 && config[at + 7] != 0) indices.insert(config[at + 7]);
        at += length;
    }
    if (video)
        for (uint8_t index = 1; index <= 31; ++index) indices.insert(index);
    return indices;
}

void readStrings(platform::Handle hub, uint32_t port, sim::Device* d) {
    const std::vector<uint8_t> noConfiguration;
    const std::vector<uint8_t>& config = d->configurations.empty() ? noConfiguration : d->configurations[0].bytes;
    std::set<uint8_t> indices = stringIndices(d->descriptor, config);
    if (indices.empty()) return;
    sim::DescriptorAnswer languages;
    bool listed = requestDescriptor(hub, port, 0x0300, 0, 255, &languages);
    d->languages = languages;
    if (!listed) return;
    std::vector<uint16_t> ids;
    for (size_t at = 2; at + 1 < languages.bytes.size() && at < languages.bytes[0]; at += 2)
        ids.push_back(static_cast<uint16_t>(languages.bytes[at] | languages.bytes[at + 1] << 8));
    for (uint8_t index : indices)
        for (uint16_t language : ids) {
            sim::DescriptorAnswer text;
            requestDescriptor(hub, port, static_cast<uint16_t>(0x0300 | index), language, 255, &text);
            d->strings[index][language] = text;
        }
}

// -- the walk --------------------------------------------------------------

class Capture {
public:
    sim::Machine run() {
        nodes_ = allDevices();
        controllers_ = interfacesOf(platform::kGuidDevinterfaceUsbHostController);
        hubs_ = interfacesOf(platform::kGuidDevinterfaceUsbHub);
        devices_ = interfacesOf(platform::kGuidDevinterfaceUsbDevice);
        fixedClass_ = interfacesOf(platform::kGuidFixedDeviceInterfaceClass);
        platform::Guid hidClass{};
        platform::HidD_GetHidGuid(&hidClass);
        hid_ = interfacesOf(hidClass);

        for (InterfaceSeen& seen : controllers_) machine_.controllers.push_back(controller(seen));
        attachHidInterfaces();
        for (const sim::DevNode& node : nodes_)
            if (!isClaimed(node)) machine_.otherDevices.push_back(node);
        return machine_;
    }

private:
    void claim(const sim::DevNode& node) { claimed_.push_back(node); }
    bool isClaimed(const sim::DevNode& node) const {
        for (const sim::DevNode& c : claimed_)
            if (c.instanceId == node.instanceId && c.driver == node.driver) return true;
        return false;
    }

    // The all-devices node with this driver key.
    std::optional<sim::DevNode> nodeByDriver(const std::string& driverKey) const {
        if (driverKey.empty()) return std::nullopt;
        for (const sim::DevNode& node : nodes_)
            if (node.driver && sim::equalsNoCase(*node.driver, driverKey)) return node;
        return std::nullopt;
    }

    sim::HostController controller(InterfaceSeen& seen) {
        sim::HostController c;
        c.node = seen.node;
        c.interface = seen.answer;
        claim(seen.node);
        std::u16string path = sim::utf8ToUtf16(seen.answer.path);
        platform::Handle handle = platform::CreateFileW(path.c_str(), platform::kGenericWrite, platform::kFileShareWrite,
                                                        nullptr, platform::kOpenExisting, 0, nullptr);
        if (!platform::isValidHandle(handle)) {
            c.openError = platform::GetLastError();
            return c;
        }
        c.driverKey = actualLengthName(handle, platform::kIoctlGetHcdDriverkeyName, true, &c.driverKeyAnswer)
                          .value_or(std::string());
        for (uint32_t state = platform::kWdmUsbPowerSystemWorking; state <= platform::kWdmUsbPowerSystemShutdown;
             ++state) {
            platform::UsbUserPowerInfoRequest request{};
            request.Header.UsbUserRequest = platform::kUsbUserGetPowerStateMap;
            request.Header.RequestBufferLength = sizeof request;
            request.PowerInformation.SystemState = state;
            uint32_t returned = 0;
            sim::PowerAnswer& answer = c.powerMap[state - platform::kWdmUsbPowerSystemWorking];
            if (ask(handle, platform::kIoctlUsbUserRequest, &request, sizeof request, &returned))
                answer.info = request.PowerInformation;
            else
                answer.failWith = platform::GetLastError();
        }
        platform::UsbUserControllerInfo0 info{};
        info.Header.UsbUserRequest = platform::kUsbUserGetControllerInfo0;
        info.Header.RequestBufferLength = sizeof info;
        uint32_t returned = 0;
        if (ask(handle, platform::kIoctlUsbUserRequest, &info, sizeof info, &returned))
            c.controllerInfo.info = info.Info0;
        else
            c.controllerInfo.failWith = platform::GetLastError();
        std::optional<std::string> rootName =
            actualLengthName(handle, platform::kIoctlUsbGetRootHubName, false, &c.rootHubNameAnswer);
        platform::CloseHandle(handle);
        if (!rootName) return c;
        c.rootHub.name = *rootName;
        // The root hub's own node is the hub interface that its name opens.
        for (InterfaceSeen& hub : hubs_) {
            if (hub.claimed || !sim::equalsNoCase(hub.answer.path, "\\\\?\\" + *rootName)) continue;
            hub.claimed = true;
            c.rootHubNode = hub.node;
            c.rootHub.interface = hub.answer;
            claim(hub.node);
            break;
        }
        walkHub(&c.rootHub, 0);
        return c;
    }

    void walkHub(sim::Hub* hub, int depth) {
        if (depth >= kDeepestHub || !walkedHubs_.insert(sim::lowerAscii(hub->name)).second) return;
        std::string path = "\\\\.\\" + hub->name;
        platform::Handle handle = platform::CreateFileA(path.c_str(), platform::kGenericWrite,
                                                        platform::kFileShareWrite, nullptr, platform::kOpenExisting,
                                                        0, nullptr);
        if (!platform::isValidHandle(handle)) {
            hub->openError = platform::GetLastError();
            return;
        }
        platform::UsbNodeInformation node{};
        uint32_t returned = 0;
        if (!ask(handle, platform::kIoctlUsbGetNodeInformation, &node, sizeof node, &returned)) {
            hub->nodeInfoError = platform::GetLastError();
        } else {
            hub->superSpeed = node.HubDescriptor.bDescriptorType == 0x2A;
            hub->busPowered = node.HubIsBusPowered != 0;
            hub->ports.resize(node.HubDescriptor.bNumberOfPorts);
            for (uint32_t port = 1; port <= hub->ports.size(); ++port)
                walkPort(handle, port, &hub->ports[port - 1], depth);
        }
        platform::CloseHandle(handle);
    }

    void walkPort(platform::Handle hub, uint32_t port, sim::Port* out, int depth) {
        platform::UsbNodeConnectionInformationEx info{};
        info.ConnectionIndex = port;
        uint32_t returned = 0;
        bool extended = ask(hub, platform::kIoctlUsbGetNodeConnectionInformationEx, &info, sizeof info, &returned);
        if (!extended) {
            out->connectionInfoExError = platform::GetLastError();
            info = platform::UsbNodeConnectionInformationEx{};
            info.ConnectionIndex = port;
            if (!ask(hub, platform::kIoctlUsbGetNodeConnectionInformation, &info, sizeof info, &returned)) {
                out->connectionInfoError = platform::GetLastError();
                return;
            }
        }
        if (info.ConnectionStatus == platform::kNoDeviceConnected) return;
        sim::Device d;
        d.descriptor = info.DeviceDescriptor;
        d.speed = extended ? static_cast<sim::Speed>(info.Speed < 4 ? info.Speed : 2)
                           : (info.Speed != 0 ? sim::Speed::Low : sim::Speed::Full);
        d.address = info.DeviceAddress;
        d.isHub = info.DeviceIsHub != 0;
        if (info.ConnectionStatus != platform::kDeviceConnected) out->connectionStatus = info.ConnectionStatus;

        d.driverKey = connectionName(hub, platform::kIoctlUsbGetNodeConnectionDriverkeyName, port,
                                     &out->driverKeyAnswer)
                          .value_or(std::string());
        if (std::optional<sim::DevNode> node = nodeByDriver(d.driverKey)) {
            d.node = *node;
            claim(*node);
        }
        if (InterfaceSeen* usb = claimByDriver(devices_, d.driverKey)) d.usbInterface = usb->answer;
        if (InterfaceSeen* fixed = claimByDriver(fixedClass_, d.driverKey)) d.fixedClassInterface = fixed->answer;

        if (info.ConnectionStatus == platform::kDeviceConnected) {
            if (std::optional<sim::DescriptorAnswer> config = wholeDescriptor(hub, port, 0x0200, 9))
                d.configurations.push_back(*config);
            if (d.descriptor.bcdUSB >= 0x0210) d.bos = wholeDescriptor(hub, port, 0x0F00, 6);
            readStrings(hub, port, &d);
        }
        if (d.isHub) {
            if (InterfaceSeen* hubInterface = claimByDriver(hubs_, d.driverKey)) d.hub.interface = hubInterface->answer;
            if (std::optional<std::string> name =
                    connectionName(hub, platform::kIoctlUsbGetNodeConnectionName, port, &out->nodeNameAnswer)) {
                d.hub.name = *name;
                walkHub(&d.hub, depth + 1);
            }
        }
        out->device = d;
    }

    // HID interfaces hang on the USB device they came from. Nothing the
    // platform answers names that device, so each goes to the next device
    // in walk order (from the previous interface's on) with its vendor and
    // product id; an interface whose ids match none stays with the
    // previous interface's device, or goes to the first device.
    void attachHidInterfaces() {
        std::vector<sim::Device*> order;
        std::function<void(std::vector<sim::Port>&)> collect = [&](std::vector<sim::Port>& ports) {
            for (sim::Port& port : ports) {
                if (!port.device) continue;
                order.push_back(&*port.device);
                if (port.device->isHub) collect(port.device->hub.ports);
            }
        };
        for (sim::HostController& c : machine_.controllers) collect(c.rootHub.ports);
        if (order.empty()) return;
        size_t from = 0;
        for (InterfaceSeen& seen : hid_) {
            sim::HidInterface h = hidInterface(seen);
            size_t owner = from;
            for (size_t i = from; i < order.size(); ++i)
                if (order[i]->descriptor.idVendor == h.vendorId && order[i]->descriptor.idProduct == h.productId) {
                    owner = i;
                    break;
                }
            order[owner]->hidInterfaces.push_back(h);
            claim(seen.node);
            from = owner;
        }
    }

    static std::optional<std::string> hidString(platform::Handle device, bool (*call)(platform::Handle, void*, uint32_t)) {
        char16_t buffer[251] = {};  // 500 bytes and a terminator, as the library asks
        if (!call(device, buffer, 500)) return std::nullopt;
        return sim::utf16ToUtf8(std::u16string(buffer));
    }

    static sim::HidInterface hidInterface(const InterfaceSeen& seen) {
        sim::HidInterface h;
        h.node = seen.node;
        h.interface = seen.answer;
        std::u16string path = sim::utf8ToUtf16(seen.answer.path);
        platform::Handle device =
            platform::CreateFileW(path.c_str(), platform::kGenericRead | platform::kGenericWrite, 0, nullptr,
                                  platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
        if (!platform::isValidHandle(device)) {
            h.openError = platform::GetLastError();
            return h;
        }
        platform::HiddAttributes attributes{};
        attributes.Size = sizeof attributes;
        if (platform::HidD_GetAttributes(device, &attributes)) {
            h.vendorId = attributes.VendorID;
            h.productId = attributes.ProductID;
            h.versionNumber = attributes.VersionNumber;
            h.manufacturer = hidString(device, platform::HidD_GetManufacturerString);
            h.product = hidString(device, platform::HidD_GetProductString);
            h.serialNumber = hidString(device, platform::HidD_GetSerialNumberString);
        } else {
            h.attributesError = platform::GetLastError();
        }
        platform::CloseHandle(device);
        return h;
    }

    sim::Machine machine_;
    std::vector<sim::DevNode> nodes_, claimed_;
    std::vector<InterfaceSeen> controllers_, hubs_, devices_, fixedClass_, hid_;
    std::set<std::string> walkedHubs_;
};

}  // namespace

sim::Machine captureMachine() { return Capture().run(); }

}  // namespace bench_tool
