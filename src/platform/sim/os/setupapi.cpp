// SetupAPI of the simulated machine. A device information set is a snapshot
// of the machine's device nodes taken when the set is made: later changes
// to the machine do not show in it. Device data and interface data refer to
// an element of their set through their Reserved field.
#include "platform/setupapi.h"

#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/files.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/model/machine_index.h"
#include "platform/sim/model/machine_store.h"
#include "platform/sim/model/text.h"

namespace sim {
namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kSpintActive = 1;

struct SetElement {
    DevNode node;
    uint32_t devInst = 0;
    std::vector<std::pair<platform::Guid, InterfaceAnswer>> interfaces;
};

struct DeviceInfoSet {
    std::vector<SetElement> elements;
};

struct SetTable {
    std::mutex lock;
    uintptr_t nextValue = 0x5E700010;
    std::map<uintptr_t, DeviceInfoSet> sets;
};

SetTable& setTable() {
    static SetTable* t = new SetTable;
    return *t;
}

std::string hex(uint64_t value) {
    std::ostringstream s;
    s << "0x" << std::hex << value;
    return s.str();
}

std::string guidText(const platform::Guid* g) {
    if (g == nullptr) return "(none)";
    char text[64];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g->Data1, g->Data2,
                  g->Data3, g->Data4[0], g->Data4[1], g->Data4[2], g->Data4[3], g->Data4[4], g->Data4[5],
                  g->Data4[6], g->Data4[7]);
    return text;
}

bool failWith(uint32_t error) {
    platform::SetLastError(error);
    return false;
}

// The setup class GUID of a class name, as the ClassGuid of device data.
platform::Guid setupClassGuid(const std::optional<std::string>& name) {
    static const std::map<std::string, platform::Guid> known = {
        {"usb", {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}}},
        {"hidclass", {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}}},
        {"usbdevice", {0x88BAE032, 0x5A81, 0x49F0, {0xBC, 0x3D, 0xA4, 0xFF, 0x13, 0x82, 0x16, 0xD6}}},
        {"diskdrive", {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
        {"display", {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
        {"net", {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    };
    if (!name) return platform::Guid{};
    auto it = known.find(lowerAscii(*name));
    return it == known.end() ? platform::Guid{} : it->second;
}

// Finds the set; null with ERROR_INVALID_HANDLE when it is not one.
DeviceInfoSet* findSet(platform::DevInfoSet set) {
    auto it = setTable().sets.find(reinterpret_cast<uintptr_t>(set));
    if (it == setTable().sets.end()) {
        platform::SetLastError(platform::kErrorInvalidHandle);
        return nullptr;
    }
    return &it->second;
}

// The element device data refers to, or null with the error Windows gives.
SetElement* findElement(DeviceInfoSet& set, const platform::SpDevinfoData* data) {
    if (data == nullptr) {
        platform::SetLastError(platform::kErrorInvalidParameter);
        return nullptr;
    }
    // A record the caller hands in with a wrong cbSize is a bad parameter;
    // only records written back answer ERROR_INVALID_USER_BUFFER (Wine
    // dlls/setupapi/devinst.c get_device and get_device_iface).
    if (data->cbSize != sizeof(platform::SpDevinfoData)) {
        platform::SetLastError(platform::kErrorInvalidParameter);
        return nullptr;
    }
    uintptr_t n = data->Reserved;
    if (n == 0 || n > set.elements.size() || set.elements[n - 1].devInst != data->DevInst) {
        platform::SetLastError(platform::kErrorInvalidParameter);
        return nullptr;
    }
    return &set.elements[n - 1];
}

void fillDeviceData(const SetElement& element, size_t position, platform::SpDevinfoData* data) {
    data->ClassGuid = setupClassGuid(element.node.setupClass);
    data->DevInst = element.devInst;
    data->Reserved = position + 1;
}

// Interface data: Reserved holds (element + 1) << 16 | interface number.
const InterfaceAnswer* findInterface(DeviceInfoSet& set, const platform::SpDeviceInterfaceData* data,
                                     size_t* elementPosition) {
    if (data == nullptr || data->cbSize != sizeof(platform::SpDeviceInterfaceData)) {
        platform::SetLastError(platform::kErrorInvalidParameter);
        return nullptr;
    }
    uintptr_t element = data->Reserved >> 16;
    uintptr_t number = data->Reserved & 0xFFFF;
    if (element == 0 || element > set.elements.size() || number >= set.elements[element - 1].interfaces.size()) {
        platform::SetLastError(platform::kErrorInvalidParameter);
        return nullptr;
    }
    *elementPosition = element - 1;
    return &set.elements[element - 1].interfaces[number].second;
}

// A property as the registry holds it: type and bytes, or none.
bool propertyBytes(const DevNode& node, uint32_t property, bool wide, uint32_t* type, std::string* bytes) {
    auto text = [&](const std::optional<std::string>& value) {
        if (!value) return false;
        *type = kRegSz;
        if (wide) {
            std::u16string w = utf8ToUtf16(*value);
            w.push_back(0);
            bytes->assign(reinterpret_cast<const char*>(w.data()), w.size() * 2);
        } else {
            *bytes = utf8ToAnsi(*value);
            bytes->push_back('\0');
        }
        return true;
    };
    auto dword = [&](const std::optional<uint32_t>& value) {
        if (!value) return false;
        *type = kRegDword;
        uint32_t v = *value;
        bytes->assign(reinterpret_cast<const char*>(&v), 4);
        return true;
    };
    switch (property) {
        case platform::kSpdrpDeviceDesc: return text(node.description);
        case platform::kSpdrpService: return text(node.service);
        case platform::kSpdrpClass: return text(node.setupClass);
        case platform::kSpdrpDriver: return text(node.driver);
        case platform::kSpdrpBusNumber: return dword(node.busNumber);
        case platform::kSpdrpAddress: return dword(node.address);
        case platform::kSpdrpHardwareId: {
            // A list of zero-terminated texts ending with an empty one.
            if (node.hardwareIds.empty()) return false;
            std::string all;
            for (const std::string& id : node.hardwareIds) {
                text(id);
                all += *bytes;
            }
            text(std::string());
            all += *bytes;
            *bytes = all;
            *type = kRegMultiSz;
            return true;
        }
        default: return false;
    }
}

bool getProperty(const char* operation, bool wide, platform::DevInfoSet set, platform::SpDevinfoData* data,
                 uint32_t property, uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize) {
    if (failHere(operation, "set=" + hex(reinterpret_cast<uintptr_t>(set)) + " property=" + hex(property) +
                                " size=" + std::to_string(size) + (buffer == nullptr ? " buffer=null" : "")))
        return false;
    std::lock_guard<std::mutex> guard(setTable().lock);
    DeviceInfoSet* s = findSet(set);
    if (s == nullptr) return false;
    SetElement* element = findElement(*s, data);
    if (element == nullptr) return false;
    if (buffer == nullptr && size != 0) return failWith(kErrorInvalidUserBuffer);
    auto fault = element->node.propertyErrors.find(property);
    if (fault != element->node.propertyErrors.end() && fault->second != 0) return failWith(fault->second);
    uint32_t type = 0;
    std::string bytes;
    if (!propertyBytes(element->node, property, wide, &type, &bytes)) {
        // An absent value: the type and size the registry query wrote, both
        // zero (Wine dlls/setupapi/devinst.c SetupDiGetDeviceRegistryPropertyA).
        if (requiredSize != nullptr) *requiredSize = 0;
        if (regType != nullptr) *regType = 0;
        return failWith(kErrorInvalidData);
    }
    if (requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(bytes.size());
    if (regType != nullptr) *regType = type;
    if (size < bytes.size()) return failWith(platform::kErrorInsufficientBuffer);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return true;
}

}  // namespace
}  // namespace sim

namespace platform {

DevInfoSet SetupDiGetClassDevsW(const Guid* classGuid, const char16_t* enumerator, Hwnd, uint32_t flags) {
    sim::refreshMachineSource();  // a walk right after the bench file was rewritten sees the new machine
    std::string enumeratorText = enumerator == nullptr ? std::string() : sim::utf16ToUtf8(enumerator);
    if (sim::failHere("SetupDiGetClassDevsW", "class=" + sim::guidText(classGuid) + " flags=" + sim::hex(flags) +
                                                  (enumerator == nullptr ? "" : " enumerator=" + enumeratorText)))
        return invalidHandle();
    bool allClasses = (flags & kDigcfAllClasses) != 0;
    bool interfaces = (flags & kDigcfDeviceInterface) != 0;
    if (classGuid == nullptr && !allClasses) {
        SetLastError(kErrorInvalidParameter);
        return invalidHandle();
    }

    sim::DeviceInfoSet set;
    {
        sim::LockedMachine locked;
        const sim::MachineIndex& index = locked.index();
        for (size_t i = 0; i < index.nodes.size(); ++i) {
            const sim::IndexedNode& n = index.nodes[i];
            bool wanted;
            if (interfaces) {
                wanted = false;
                for (const auto& i2 : n.interfaces)
                    if (allClasses || i2.first == *classGuid) wanted = true;
            } else {
                wanted = allClasses || sim::setupClassGuid(n.node->setupClass) == *classGuid;
            }
            if (wanted && !enumeratorText.empty()) {
                std::string prefix = sim::lowerAscii(enumeratorText) + "\\";
                wanted = n.node->instanceId && sim::lowerAscii(*n.node->instanceId).rfind(prefix, 0) == 0;
            }
            if (!wanted) continue;
            sim::SetElement element;
            element.node = *n.node;
            element.devInst = static_cast<uint32_t>(i + 1);
            for (const auto& i2 : n.interfaces) element.interfaces.push_back({i2.first, *i2.second});
            set.elements.push_back(std::move(element));
        }
    }

    sim::SetTable& table = sim::setTable();
    std::lock_guard<std::mutex> guard(table.lock);
    uintptr_t value = table.nextValue;
    table.nextValue += 0x10;
    table.sets.emplace(value, std::move(set));
    ++sim::liveCounters().deviceInfoSets;
    return reinterpret_cast<DevInfoSet>(value);
}

bool SetupDiEnumDeviceInfo(DevInfoSet set, uint32_t index, SpDevinfoData* data) {
    if (sim::failHere("SetupDiEnumDeviceInfo",
                      "set=" + sim::hex(reinterpret_cast<uintptr_t>(set)) + " index=" + std::to_string(index)))
        return false;
    std::lock_guard<std::mutex> guard(sim::setTable().lock);
    sim::DeviceInfoSet* s = sim::findSet(set);
    if (s == nullptr) return false;
    if (data == nullptr) return sim::failWith(kErrorInvalidParameter);
    if (data->cbSize != sizeof(SpDevinfoData)) return sim::failWith(sim::kErrorInvalidUserBuffer);
    if (index >= s->elements.size()) return sim::failWith(kErrorNoMoreItems);
    const sim::SetElement& element = s->elements[index];
    if (element.node.enumError != 0) return sim::failWith(element.node.enumError);
    sim::fillDeviceData(element, index, data);
    return true;
}

bool SetupDiEnumDeviceInterfaces(DevInfoSet set, SpDevinfoData* deviceData, const Guid* classGuid, uint32_t index,
                                 SpDeviceInterfaceData* interfaceData) {
    if (sim::failHere("SetupDiEnumDeviceInterfaces", "set=" + sim::hex(reinterpret_cast<uintptr_t>(set)) +
                                                         " class=" + sim::guidText(classGuid) +
                                                         " index=" + std::to_string(index) +
                                                         (deviceData == nullptr ? "" : " device")))
        return false;
    std::lock_guard<std::mutex> guard(sim::setTable().lock);
    sim::DeviceInfoSet* s = sim::findSet(set);
    if (s == nullptr) return false;
    if (classGuid == nullptr || interfaceData == nullptr) return sim::failWith(kErrorInvalidParameter);
    if (interfaceData->cbSize != sizeof(SpDeviceInterfaceData)) return sim::failWith(sim::kErrorInvalidUserBuffer);

    size_t first = 0, last = s->elements.size();
    if (deviceData != nullptr) {
        sim::SetElement* element = sim::findElement(*s, deviceData);
        if (element == nullptr) return false;
        first = static_cast<size_t>(element - s->elements.data());
        last = first + 1;
    }
    uint32_t seen = 0;
    for (size_t e = first; e < last; ++e) {
        const auto& ifs = s->elements[e].interfaces;
        for (size_t k = 0; k < ifs.size(); ++k) {
            if (ifs[k].first != *classGuid) continue;
            if (seen++ != index) continue;
            const sim::InterfaceAnswer& answer = ifs[k].second;
            if (answer.enumError != 0) return sim::failWith(answer.enumError);
            interfaceData->InterfaceClassGuid = *classGuid;
            interfaceData->Flags = sim::kSpintActive;
            interfaceData->Reserved = ((e + 1) << 16) | k;
            return true;
        }
    }
    return sim::failWith(kErrorNoMoreItems);
}

bool SetupDiGetDeviceInterfaceDetailW(DevInfoSet set, SpDeviceInterfaceData* interfaceData,
                                      SpDeviceInterfaceDetailDataW* detail, uint32_t detailSize,
                                      uint32_t* requiredSize, SpDevinfoData* deviceData) {
    if (sim::failHere("SetupDiGetDeviceInterfaceDetailW", "set=" + sim::hex(reinterpret_cast<uintptr_t>(set)) +
                                                              " size=" + std::to_string(detailSize) +
                                                              (detail == nullptr ? " detail=null" : "")))
        return false;
    std::lock_guard<std::mutex> guard(sim::setTable().lock);
    sim::DeviceInfoSet* s = sim::findSet(set);
    if (s == nullptr) return false;
    size_t position = 0;
    const sim::InterfaceAnswer* answer = sim::findInterface(*s, interfaceData, &position);
    if (answer == nullptr) return false;
    if (deviceData != nullptr && deviceData->cbSize != sizeof(SpDevinfoData))
        return sim::failWith(sim::kErrorInvalidUserBuffer);

    std::u16string path = sim::utf8ToUtf16(answer->path);
    uint32_t needed = static_cast<uint32_t>(offsetof(SpDeviceInterfaceDetailDataW, DevicePath) + 2 * (path.size() + 1));
    uint32_t reported = answer->reportedRequiredSize.value_or(needed);

    // The device data is written whether or not the path fitted (Wine
    // dlls/setupapi/devinst.c SetupDiGetDeviceInterfaceDetailW).
    if (detail == nullptr) {
        if (detailSize != 0) return sim::failWith(sim::kErrorInvalidUserBuffer);
        if (answer->sizeQueryError != 0) return sim::failWith(answer->sizeQueryError);
        if (requiredSize != nullptr) *requiredSize = reported;
        if (deviceData != nullptr) sim::fillDeviceData(s->elements[position], position, deviceData);
        if (answer->sizeQueryReportsSuccess) return true;
        return sim::failWith(kErrorInsufficientBuffer);
    }
    if (detailSize < sizeof(SpDeviceInterfaceDetailDataW) || detail->cbSize != sizeof(SpDeviceInterfaceDetailDataW))
        return sim::failWith(sim::kErrorInvalidUserBuffer);
    if (answer->detailError != 0) return sim::failWith(answer->detailError);
    if (detailSize < needed) {
        if (requiredSize != nullptr) *requiredSize = reported;
        if (deviceData != nullptr) sim::fillDeviceData(s->elements[position], position, deviceData);
        return sim::failWith(kErrorInsufficientBuffer);
    }
    std::memcpy(reinterpret_cast<uint8_t*>(detail) + offsetof(SpDeviceInterfaceDetailDataW, DevicePath), path.c_str(),
                2 * (path.size() + 1));
    if (requiredSize != nullptr) *requiredSize = reported;
    if (deviceData != nullptr) sim::fillDeviceData(s->elements[position], position, deviceData);
    return true;
}

bool SetupDiGetDeviceRegistryPropertyA(DevInfoSet set, SpDevinfoData* deviceData, uint32_t property,
                                       uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize) {
    return sim::getProperty("SetupDiGetDeviceRegistryPropertyA", false, set, deviceData, property, regType, buffer,
                            size, requiredSize);
}

bool SetupDiGetDeviceRegistryPropertyW(DevInfoSet set, SpDevinfoData* deviceData, uint32_t property,
                                       uint32_t* regType, uint8_t* buffer, uint32_t size, uint32_t* requiredSize) {
    return sim::getProperty("SetupDiGetDeviceRegistryPropertyW", true, set, deviceData, property, regType, buffer,
                            size, requiredSize);
}

bool SetupDiGetDeviceInstanceIdA(DevInfoSet set, SpDevinfoData* deviceData, char* buffer, uint32_t size,
                                 uint32_t* requiredSize) {
    if (sim::failHere("SetupDiGetDeviceInstanceIdA", "set=" + sim::hex(reinterpret_cast<uintptr_t>(set)) +
                                                         " size=" + std::to_string(size) +
                                                         (buffer == nullptr ? " buffer=null" : "")))
        return false;
    std::lock_guard<std::mutex> guard(sim::setTable().lock);
    sim::DeviceInfoSet* s = sim::findSet(set);
    if (s == nullptr) return false;
    sim::SetElement* element = sim::findElement(*s, deviceData);
    if (element == nullptr) return false;
    if (buffer == nullptr && size != 0) return sim::failWith(sim::kErrorInvalidUserBuffer);
    if (element->node.instanceIdError != 0) return sim::failWith(element->node.instanceIdError);
    if (!element->node.instanceId) return sim::failWith(sim::kErrorInvalidData);
    std::string id = sim::utf8ToAnsi(*element->node.instanceId);
    uint32_t needed = static_cast<uint32_t>(id.size() + 1);
    if (requiredSize != nullptr) *requiredSize = needed;
    if (size < needed) {
        // The conversion into a short buffer fills it before failing, without
        // a terminator (Wine dlls/setupapi/devinst.c SetupDiGetDeviceInstanceIdA).
        if (size != 0) std::memcpy(buffer, id.c_str(), size);
        return sim::failWith(kErrorInsufficientBuffer);
    }
    std::memcpy(buffer, id.c_str(), needed);
    return true;
}

bool SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    if (sim::failHere("SetupDiDestroyDeviceInfoList", "set=" + sim::hex(reinterpret_cast<uintptr_t>(set))))
        return false;
    sim::SetTable& table = sim::setTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.sets.find(reinterpret_cast<uintptr_t>(set));
    if (it == table.sets.end()) return sim::failWith(kErrorInvalidHandle);
    table.sets.erase(it);
    --sim::liveCounters().deviceInfoSets;
    return true;
}

}  // namespace platform
