// A small program that changes a simulated machine: the fuzz input of the
// walk target. Each instruction is an opcode byte and its operands; it picks
// a device, port, hub, device node, interface or controller of the machine
// by a selector byte (taken modulo how many there are) and changes what
// that object answers: raw descriptor bytes, string descriptors, names,
// ActualLength and byte-count lies, failing requests, HID strings and
// paths, properties, added devices, failing platform calls.
//
// The seed writer (make_seeds.cpp) builds programs with MachineProgram; the
// target reads them with applyInstructions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_bytes.h"
#include "platform/sim/model/machine.h"

namespace fuzz {

// The input starts with one byte of these flags.
namespace walk_flags {
constexpr uint8_t kTraced = 0x01;         // the trace log is on during the walks
constexpr uint8_t kUseInfGuid = 0x02;     // the configuration file says "useinfguid"
constexpr uint8_t kThroughLists = 0x04;   // create, update and release a device list
constexpr uint8_t kBareMachine = 0x08;    // start from one controller with four empty root ports
constexpr uint8_t kOneVendor = 0x10;      // a 16-bit vendor filter follows the flags
}  // namespace walk_flags

enum Opcode : uint8_t {
    kOpDescriptorBytes,  // device, 18 bytes: the device descriptor the hub reports
    kOpDescriptorByte,   // device, offset, value
    kOpDeviceShape,      // device, what (speed, address, configuration value, is-hub, open error), u32
    kOpConfiguration,    // device, configuration index, blob
    kOpBos,              // device, blob (empty: no BOS descriptor)
    kOpLanguages,        // device, blob (empty: no language list)
    kOpLanguageList,     // device, count, count x u16: a well-formed language list
    kOpStringBytes,      // device, string index, language, blob
    kOpStringText,       // device, string index, language, text: a well-formed string descriptor
    kOpAnswerLie,        // device, which answer, selector, how, u32 or blob
    kOpDeviceText,       // device, which text, text
    kOpNodeFault,        // device node, how, u32
    kOpInterfaceLie,     // interface, how, u32
    kOpPortKnob,         // port, how, u32
    kOpHubKnob,          // hub, how, u32 or text
    kOpHidKnob,          // device, HID interface, how, u32 or text
    kOpControllerKnob,   // controller, how, u32, text or blob
    kOpAddDevice,        // port, vendor, product, kind
    kOpFailCall,         // platform operation, n (u16), error
    kOpNextWalk,         // the changes so far are walked; later ones change the machine for the next walk
    kOpCount
};

// Texts: a byte with the form in its top two bits and a count n (0..63):
// 0 = n 16-bit code units, 1 = n bytes each one code unit, 2 = n bytes
// repeated (next byte + 1) times, 3 = no text at all.
namespace text_form {
constexpr uint8_t kUnits = 0, kBytes = 1, kRepeated = 2, kAbsent = 3;
}

// The platform operations a kOpFailCall may make fail. Destroying a
// device information set is left out: a destroy that fails keeps its set by
// definition. (A failed fclose still releases its stream.)
const std::vector<std::string>& failableOperations();

// What the instructions left to do after a kOpNextWalk (or the end).
enum class Stop { NextWalk, End };

// Applies instructions to the machine until a kOpNextWalk or the end of
// the input. Added devices draw their identities from nextIdentity.
Stop applyInstructions(ByteReader& input, sim::Machine& machine, uint32_t& nextIdentity);

// Writes instructions (for seeds and regression inputs).
class MachineProgram {
public:
    explicit MachineProgram(uint8_t flags, uint16_t vendor = 0xFFFF);

    MachineProgram& descriptorBytes(uint8_t device, const std::vector<uint8_t>& bytes);
    MachineProgram& descriptorByte(uint8_t device, uint8_t offset, uint8_t value);
    MachineProgram& deviceShape(uint8_t device, uint8_t what, uint32_t value);
    MachineProgram& configuration(uint8_t device, uint8_t index, const std::vector<uint8_t>& bytes);
    MachineProgram& bos(uint8_t device, const std::vector<uint8_t>& bytes);
    MachineProgram& languages(uint8_t device, const std::vector<uint8_t>& bytes);
    MachineProgram& languageList(uint8_t device, const std::vector<uint16_t>& languages);
    MachineProgram& stringBytes(uint8_t device, uint8_t index, uint16_t language, const std::vector<uint8_t>& bytes);
    MachineProgram& stringText(uint8_t device, uint8_t index, uint16_t language, const std::u16string& text);
    MachineProgram& answerLie(uint8_t device, uint8_t which, uint8_t selector, uint8_t how, uint32_t value,
                              const std::vector<uint8_t>& bytes = {});
    MachineProgram& deviceText(uint8_t device, uint8_t which, const std::optional<std::u16string>& text);
    MachineProgram& nodeFault(uint8_t node, uint8_t how, uint32_t value);
    MachineProgram& interfaceLie(uint8_t interface, uint8_t how, uint32_t value);
    MachineProgram& portKnob(uint8_t port, uint8_t how, uint32_t value);
    MachineProgram& hubValue(uint8_t hub, uint8_t how, uint32_t value);
    MachineProgram& hubText(uint8_t hub, uint8_t how, const std::optional<std::u16string>& text);
    MachineProgram& hidValue(uint8_t device, uint8_t hid, uint8_t how, uint32_t value);
    MachineProgram& hidText(uint8_t device, uint8_t hid, uint8_t how, const std::optional<std::u16string>& text);
    MachineProgram& controllerValue(uint8_t controller, uint8_t how, uint32_t value);
    MachineProgram& controllerText(uint8_t controller, uint8_t how, const std::optional<std::u16string>& text);
    MachineProgram& controllerBlob(uint8_t controller, uint8_t how, uint8_t slot, const std::vector<uint8_t>& bytes);
    MachineProgram& addDevice(uint8_t port, uint16_t vendor, uint16_t product, uint8_t kind);
    MachineProgram& failCall(uint8_t operation, uint16_t n, uint8_t error);
    MachineProgram& nextWalk();

    const std::vector<uint8_t>& data() const { return out_.data(); }

private:
    MachineProgram& text(const std::optional<std::u16string>& text);
    ByteWriter out_;
};

// Operand values of the instructions, named for the seed writer.
namespace shape {
constexpr uint8_t kSpeed = 0, kAddress = 1, kCurrentConfiguration = 2, kIsHub = 3, kOpenError = 4;
}
namespace answer {
constexpr uint8_t kConfiguration = 0, kBos = 1, kLanguages = 2, kString = 3;
constexpr uint8_t kBytesReturned = 0, kFailWith = 1, kChangesAfterFirstRead = 2, kHonest = 3;
}
namespace device_text {
constexpr uint8_t kHubDriverKey = 0, kNodeDriver = 1, kService = 2, kDescription = 3, kInstanceId = 4,
                  kSetupClass = 5, kHardwareId = 6, kInterfacePath = 7, kFixedClassPath = 8, kHubName = 9;
}
namespace node_fault {
constexpr uint8_t kEnumError = 0, kInstanceIdError = 1, kPropertyError = 2, kBusNumber = 3, kAddress = 4;
}
namespace interface_lie {
constexpr uint8_t kEnumError = 0, kSizeQueryError = 1, kSizeQueryReportsSuccess = 2, kRequiredSize = 3,
                  kDetailError = 4;
}
namespace port_knob {
constexpr uint8_t kConnectionStatus = 0, kConnectionInfoExError = 1, kConnectionInfoError = 2,
                  kDriverKeyFails = 3, kDriverKeyActualLength = 4, kDriverKeyBytesReturned = 5,
                  kNodeNameFails = 6, kNodeNameActualLength = 7, kNodeNameBytesReturned = 8, kUnplug = 9;
}
namespace hub_knob {
constexpr uint8_t kOpenError = 0, kNodeInfoError = 1, kReportedPorts = 2, kSuperSpeed = 3, kBusPowered = 4,
                  kName = 5, kInterfacePath = 6;
}
namespace hid_knob {
constexpr uint8_t kVendor = 0, kProduct = 1, kManufacturer = 2, kProductText = 3, kSerial = 4, kPath = 5,
                  kOpenError = 6, kAttributesError = 7, kAdd = 8;
}
namespace controller_knob {
constexpr uint8_t kDriverKey = 0, kDriverKeyFails = 1, kDriverKeyActualLength = 2, kDriverKeyBytesReturned = 3,
                  kRootHubNameFails = 4, kRootHubNameActualLength = 5, kRootHubNameBytesReturned = 6,
                  kPowerMap = 7, kControllerInfo = 8, kOpenError = 9, kInstanceId = 10;
}
namespace device_kind {
constexpr uint8_t kPlain = 0, kWinUsb = 1, kHid = 2, kMassStorage = 3, kHub = 4;
constexpr uint8_t kWithStrings = 0x80;
}

}  // namespace fuzz
