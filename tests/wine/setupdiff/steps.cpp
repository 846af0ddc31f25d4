// The walk's SetupAPI steps, answer by answer: every call records what it
// returned, its last error, the sizes and types it wrote and the bytes it
// put in the buffer. A sentinel goes into every output beforehand, so that
// "left alone" and "written" are told apart.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "devices.h"
#include "platform/files.h"
#include "platform/setupapi.h"

namespace setupdiff {
namespace {

using namespace platform;

constexpr uint32_t kSentinel = 0xA5A5A5A5;
constexpr uint32_t kLastErrorSentinel = 0x0BADF00D;
constexpr uint8_t kFill = 0xCC;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string hexBytes(const uint8_t* bytes, size_t count) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

std::string number(uint32_t value) {
    if (value == kSentinel) return "untouched";
    return std::to_string(value);
}

std::string answer(bool ok, uint32_t error) {
    std::string text = ok ? "ok" : "fail";
    text += " err=" + (error == kLastErrorSentinel ? std::string("untouched") : std::to_string(error));
    return text;
}

const char* propertyName(uint32_t property) {
    switch (property) {
        case kSpdrpDeviceDesc: return "DEVICEDESC";
        case kSpdrpHardwareId: return "HARDWAREID";
        case kSpdrpService: return "SERVICE";
        case kSpdrpClass: return "CLASS";
        case kSpdrpDriver: return "DRIVER";
        case kSpdrpBusNumber: return "BUSNUMBER";
        case kSpdrpAddress: return "ADDRESS";
        default: return "?";
    }
}

// One property read with a buffer of the given size (null when 0).
std::string readProperty(DevInfoSet set, SpDevinfoData* data, uint32_t property, bool wide, uint32_t size,
                         uint32_t* required) {
    std::vector<uint8_t> buffer(size + 4, kFill);
    uint32_t type = kSentinel;
    *required = kSentinel;
    SetLastError(kLastErrorSentinel);
    bool ok = wide ? SetupDiGetDeviceRegistryPropertyW(set, data, property, &type, size ? buffer.data() : nullptr,
                                                       size, required)
                   : SetupDiGetDeviceRegistryPropertyA(set, data, property, &type, size ? buffer.data() : nullptr,
                                                       size, required);
    uint32_t error = GetLastError();
    std::ostringstream line;
    line << (wide ? "W " : "A ") << propertyName(property) << " size=" << size << ": " << answer(ok, error)
         << " type=" << number(type) << " required=" << number(*required)
         << " bytes=" << hexBytes(buffer.data(), buffer.size());
    return line.str();
}

// The size query, a read one byte short and a read of the size asked for.
void propertySteps(DevInfoSet set, SpDevinfoData* data, uint32_t property, bool wide, std::vector<std::string>* out) {
    uint32_t required = 0;
    out->push_back(readProperty(set, data, property, wide, 0, &required));
    if (required == kSentinel || required == 0 || required > 4096) return;
    uint32_t ignored = 0;
    out->push_back(readProperty(set, data, property, wide, required - 1, &ignored));
    out->push_back(readProperty(set, data, property, wide, required, &ignored));
}

std::string readInstanceId(DevInfoSet set, SpDevinfoData* data, uint32_t size, uint32_t* required) {
    std::vector<char> buffer(size + 4, static_cast<char>(kFill));
    *required = kSentinel;
    SetLastError(kLastErrorSentinel);
    bool ok = SetupDiGetDeviceInstanceIdA(set, data, size ? buffer.data() : nullptr, size, required);
    uint32_t error = GetLastError();
    return "instance id size=" + std::to_string(size) + ": " + answer(ok, error) + " required=" + number(*required) +
           " bytes=" + hexBytes(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size());
}

void instanceIdSteps(DevInfoSet set, SpDevinfoData* data, std::vector<std::string>* out) {
    uint32_t required = 0;
    out->push_back(readInstanceId(set, data, 0, &required));
    if (required == kSentinel || required == 0 || required > 4096) return;
    uint32_t ignored = 0;
    out->push_back(readInstanceId(set, data, required - 1, &ignored));
    out->push_back(readInstanceId(set, data, required, &ignored));
}

// The driver key of a set element, or "" when it has none.
std::string driverKeyOf(DevInfoSet set, SpDevinfoData* data) {
    char key[512] = {};
    uint32_t required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, data, kSpdrpDriver, nullptr, reinterpret_cast<uint8_t*>(key),
                                           sizeof key - 1, &required))
        return std::string();
    return key;
}

// The answers found for each device, in the table's order, keyed by the
// lower-case text of the member given.
void appendInDeviceOrder(const std::map<std::string, std::vector<std::string>>& found, const std::string& heading,
                         std::string TestDevice::*key, const char* missing, std::vector<std::string>* out) {
    for (const TestDevice& d : testDevices()) {
        out->push_back(heading + d.*key);
        auto it = found.find(lower(d.*key));
        if (it == found.end()) {
            out->push_back(std::string("  ") + missing);
            continue;
        }
        for (const std::string& line : it->second) out->push_back("  " + line);
    }
}

// The set of all present devices, looked up by driver key as the walk does.
void deviceSteps(std::vector<std::string>* out) {
    DevInfoSet set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kDigcfPresent | kDigcfAllClasses);
    if (set == invalidHandle()) {
        out->push_back("all devices: no set, err=" + std::to_string(GetLastError()));
        return;
    }
    std::map<std::string, std::vector<std::string>> byKey;
    uint32_t index = 0;
    for (;; ++index) {
        SpDevinfoData data{};
        data.cbSize = sizeof data;
        SetLastError(kLastErrorSentinel);
        if (!SetupDiEnumDeviceInfo(set, index, &data)) break;
        std::string key = driverKeyOf(set, &data);
        bool ours = false;
        for (const TestDevice& d : testDevices()) ours = ours || lower(d.driverKey) == lower(key);
        if (!ours) continue;
        std::vector<std::string>& lines = byKey[lower(key)];
        lines.push_back("found, " + std::string(data.Reserved != 0 ? "reserved set" : "reserved zero"));
        for (uint32_t property : {kSpdrpDeviceDesc, kSpdrpHardwareId, kSpdrpService, kSpdrpClass, kSpdrpDriver})
            propertySteps(set, &data, property, false, &lines);
        for (uint32_t property : {kSpdrpBusNumber, kSpdrpAddress}) propertySteps(set, &data, property, true, &lines);
        instanceIdSteps(set, &data, &lines);
    }
    out->push_back("all devices: enumeration ends with err=" + std::to_string(GetLastError()));
    appendInDeviceOrder(byKey, "device ", &TestDevice::driverKey, "not found", out);
    SetupDiDestroyDeviceInfoList(set);
}

std::string readDetail(DevInfoSet set, SpDeviceInterfaceData* iface, uint32_t size, uint32_t* required,
                       std::string* instanceId) {
    // Room past the size given, filled, so that a write beyond it shows.
    std::vector<uint8_t> buffer(size + 8, kFill);
    auto* detail = reinterpret_cast<SpDeviceInterfaceDetailDataW*>(buffer.data());
    if (size != 0) detail->cbSize = sizeof(SpDeviceInterfaceDetailDataW);
    SpDevinfoData device{};
    device.cbSize = sizeof device;
    *required = kSentinel;
    SetLastError(kLastErrorSentinel);
    bool ok = SetupDiGetDeviceInterfaceDetailW(set, iface, size ? detail : nullptr, size, required,
                                               size ? &device : nullptr);
    uint32_t error = GetLastError();
    if (ok && instanceId != nullptr) {
        char id[512] = {};
        uint32_t ignored = 0;
        if (SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id - 1, &ignored)) *instanceId = id;
    }
    return "detail size=" + std::to_string(size) + ": " + answer(ok, error) + " required=" + number(*required) +
           (size ? " device=" + std::string(device.Reserved != 0 ? "filled" : "empty") : std::string()) +
           " bytes=" + hexBytes(buffer.data() + (size ? 4 : 0), buffer.size() - (size ? 4 : 0));
}

// The fixed-class interfaces and their paths.
void interfaceSteps(uint32_t flags, std::vector<std::string>* out) {
    const Guid& cls = kGuidFixedDeviceInterfaceClass;
    DevInfoSet set = SetupDiGetClassDevsW(&cls, nullptr, nullptr, flags);
    if (set == invalidHandle()) {
        out->push_back("interfaces: no set, err=" + std::to_string(GetLastError()));
        return;
    }
    std::map<std::string, std::vector<std::string>> byDevice;
    uint32_t index = 0;
    for (;; ++index) {
        SpDeviceInterfaceData iface{};
        iface.cbSize = sizeof iface;
        SetLastError(kLastErrorSentinel);
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &cls, index, &iface)) break;
        std::vector<std::string> lines;
        char flagsText[64];
        std::snprintf(flagsText, sizeof flagsText, "interface flags=%u class %s", iface.Flags,
                      iface.InterfaceClassGuid == cls ? "as asked" : "other");
        lines.push_back(flagsText);
        uint32_t required = 0;
        lines.push_back(readDetail(set, &iface, 0, &required, nullptr));
        std::string instanceId;
        if (required != kSentinel && required > sizeof(SpDeviceInterfaceDetailDataW) && required <= 4096) {
            uint32_t ignored = 0;
            lines.push_back(readDetail(set, &iface, required - 2, &ignored, nullptr));
            lines.push_back(readDetail(set, &iface, required, &ignored, &instanceId));
        }
        bool ours = false;
        for (const TestDevice& d : testDevices()) ours = ours || lower(d.instanceId) == lower(instanceId);
        if (ours) byDevice[lower(instanceId)] = lines;
    }
    out->push_back("interfaces: enumeration ends with err=" + std::to_string(GetLastError()));
    appendInDeviceOrder(byDevice, "interface of ", &TestDevice::instanceId, "none", out);
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

const std::vector<TestDevice>& testDevices() {
    static const std::vector<TestDevice> devices = {
        {"ROOT\\TAMBERLYXDIFF\\0000", "{7A3B1D55-0C4E-4F21-9A3E-5D1F00C0D1FF}\\0000", std::string("Loop Device"),
         {"USB\\VID_1A2B&PID_0001&REV_0100", "USB\\VID_1A2B&PID_0001"}, std::string("WinUSB"),
         std::string("TamberlyxDiff"), true},
        {"ROOT\\TAMBERLYXDIFF\\0001", "{7A3B1D55-0C4E-4F21-9A3E-5D1F00C0D1FF}\\0001", std::string("Caf\xC3\xA9 Pad"),
         {"USB\\VID_1A2B&PID_0002"}, std::nullopt, std::nullopt, true},
        {"ROOT\\TAMBERLYXDIFF\\0002", "{7A3B1D55-0C4E-4F21-9A3E-5D1F00C0D1FF}\\0002", std::nullopt, {},
         std::string("HidUsb"), std::string("TamberlyxDiff"), false},
    };
    return devices;
}

std::string fixedClassInterfacePath(const TestDevice& device) {
    std::string path = "\\\\?\\" + device.instanceId + "#{58D07210-27C1-11DD-BD0B-0800200C9A66}";
    std::replace(path.begin() + 4, path.end(), '\\', '#');
    return lower(path);
}

std::string runSteps(uint32_t interfaceFlags) {
    std::vector<std::string> lines;
    deviceSteps(&lines);
    interfaceSteps(interfaceFlags, &lines);
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace setupdiff
