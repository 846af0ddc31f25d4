// The names a bench file gives to values of the machine model, shared by the
// bench reader and the bench writer so that the two always spell a value the
// same way, and the place numbering that gives each thing on a bench its
// identity, shared with the tools that build machines meant to be written
// out as benches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/model/machine.h"

namespace sim {

// SetupAPI properties whose reads a bench can make fail, under
// "faults": {"properties": {NAME: error}}, by their SPDRP codes.
struct BenchProperty {
    const char* name;
    uint32_t code;
};
extern const BenchProperty kBenchProperties[7];
// Null when the code has no bench name.
const char* benchPropertyName(uint32_t code);
bool benchPropertyCode(const std::string& name, uint32_t* code);

// "low", "full", "high", "super".
const char* speedName(Speed speed);
bool speedFromName(const std::string& name, Speed* speed);

// A HID interface's reports: "echo" or "silent".
const char* hidReportsName(HidReportKind kind);
bool hidReportsFromName(const std::string& name, HidReportKind* kind);

// A WinUSB pipe's behaviour: "loopback", "sink", "source", "stall", "slow", "silent".
const char* pipeKindName(PipeKind kind);
bool pipeKindFromName(const std::string& name, PipeKind* kind);

// The fault keys of a SetupAPI node and of one of its device interfaces,
// under the "faults" of whatever carries them.
namespace bench_key {
constexpr const char* kEnumError = "enumError";
constexpr const char* kInstanceIdError = "instanceIdError";
constexpr const char* kProperties = "properties";
constexpr const char* kInterfaceEnumError = "interfaceEnumError";
constexpr const char* kSizeQueryError = "sizeQueryError";
constexpr const char* kDetailError = "detailError";
constexpr const char* kFailWith = "failWith";
}  // namespace bench_key

// Places on a bench: "c0" for the first controller, "c0.3" for port 3 of
// its root hub, "c0.3.1" below a hub there, "c0.3.hid1" for a device's
// second listed HID interface, "o2" for the third device outside USB.
std::string controllerPlace(size_t index);
std::string portPlace(const std::string& hubPlace, uint32_t port);
std::string hidInterfacePlace(const std::string& devicePlace, size_t index);
std::string otherDevicePlace(size_t index);
// The identity number (see DeviceBuilder::identity) of the thing at a
// place, so that a bench read again names its devices the same.
uint32_t benchIdentity(const std::string& place);

}  // namespace sim
