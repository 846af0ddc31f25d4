#include "platform/sim/model/bench_keys.h"

namespace sim {

// SPDRP_DEVICEDESC, SPDRP_HARDWAREID, SPDRP_SERVICE, SPDRP_CLASS,
// SPDRP_DRIVER, SPDRP_BUSNUMBER, SPDRP_ADDRESS (SetupAPI.h).
const BenchProperty kBenchProperties[7] = {{"description", 0x00}, {"hardwareId", 0x01}, {"service", 0x04},
                                           {"class", 0x07},       {"driver", 0x09},     {"busNumber", 0x15},
                                           {"address", 0x1C}};

const char* benchPropertyName(uint32_t code) {
    for (const BenchProperty& p : kBenchProperties)
        if (p.code == code) return p.name;
    return nullptr;
}

bool benchPropertyCode(const std::string& name, uint32_t* code) {
    for (const BenchProperty& p : kBenchProperties)
        if (name == p.name) {
            *code = p.code;
            return true;
        }
    return false;
}

namespace {

template <typename T>
struct Named {
    const char* name;
    T value;
};

const Named<Speed> kSpeeds[] = {
    {"low", Speed::Low}, {"full", Speed::Full}, {"high", Speed::High}, {"super", Speed::Super}};
const Named<HidReportKind> kHidReports[] = {{"echo", HidReportKind::Echo}, {"silent", HidReportKind::Silent}};
const Named<PipeKind> kPipeKinds[] = {{"loopback", PipeKind::Loopback}, {"sink", PipeKind::Sink},
                                      {"source", PipeKind::Source},     {"stall", PipeKind::Stall},
                                      {"slow", PipeKind::Slow},        {"silent", PipeKind::Silent}};

template <typename T, size_t N>
const char* nameOf(const Named<T> (&table)[N], T value) {
    for (const Named<T>& entry : table)
        if (entry.value == value) return entry.name;
    return table[0].name;
}

template <typename T, size_t N>
bool valueOf(const Named<T> (&table)[N], const std::string& name, T* value) {
    for (const Named<T>& entry : table)
        if (name == entry.name) {
            *value = entry.value;
            return true;
        }
    return false;
}

}  // namespace

const char* speedName(Speed speed) { return nameOf(kSpeeds, speed); }
bool speedFromName(const std::string& name, Speed* speed) { return valueOf(kSpeeds, name, speed); }
const char* hidReportsName(HidReportKind kind) { return nameOf(kHidReports, kind); }
bool hidReportsFromName(const std::string& name, HidReportKind* kind) { return valueOf(kHidReports, name, kind); }
const char* pipeKindName(PipeKind kind) { return nameOf(kPipeKinds, kind); }
bool pipeKindFromName(const std::string& name, PipeKind* kind) { return valueOf(kPipeKinds, name, kind); }

std::string controllerPlace(size_t index) { return "c" + std::to_string(index); }
std::string portPlace(const std::string& hubPlace, uint32_t port) { return hubPlace + "." + std::to_string(port); }
std::string hidInterfacePlace(const std::string& devicePlace, size_t index) {
    return devicePlace + ".hid" + std::to_string(index);
}
std::string otherDevicePlace(size_t index) { return "o" + std::to_string(index); }

// FNV-1a of the place.
uint32_t benchIdentity(const std::string& place) {
    uint32_t hash = 2166136261u;
    for (char c : place) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return 0x100000u + (hash & 0x7FFFFu) * 2;
}

}  // namespace sim
