// Writes the seed inputs of the three fuzz targets: the built-in bench as it
// is, and the shapes of answers known to be hard on a walk (length bytes of
// 0, wTotalLength beyond the data, odd-length strings, short language
// lists, descriptors that change between reads, lying byte counts and
// ActualLength values, long and unusual names), plus texts and records.
//
//   make_seeds DIRECTORY    writes DIRECTORY/walk, DIRECTORY/text, DIRECTORY/record
//
// Device, port and hub selectors count through the built-in bench depth-first:
// devices 0 loopback, 1 HID echo, 2 external hub, 3 data logger (behind the
// hub), 4 composite, 5 drive, 6 balance, 7 no strings, 8 no service; ports 0-2
// root ports 1-3, 3-6 the external hub's ports, 7-9 root ports 4-6, 10-12 the
// second controller's ports; hubs 0 first root hub, 1 external hub, 2 second
// root hub.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_bytes.h"
#include "machine_program.h"

namespace {

using fuzz::MachineProgram;
namespace flags = fuzz::walk_flags;

std::string outputDirectory;

void write(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::filesystem::path dir = std::filesystem::path(outputDirectory) / target;
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void seed(const std::string& name, const MachineProgram& program) { write("walk", name, program.data()); }

// Configuration descriptor bytes: the 9-byte head with the given
// wTotalLength, then the rest as given.
std::vector<uint8_t> configuration(uint16_t totalLength, const std::vector<uint8_t>& rest) {
    std::vector<uint8_t> out = {9, 2, static_cast<uint8_t>(totalLength), static_cast<uint8_t>(totalLength >> 8),
                                1, 1, 0, 0x80, 50};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

const std::vector<uint8_t> kVendorInterface = {9, 4, 0, 0, 2, 0xFF, 0, 0, 0, 7, 5, 0x81, 2, 0, 2, 0, 7, 5, 0x01, 2, 0, 2, 0};

std::u16string repeated(const std::u16string& pattern, size_t times) {
    std::u16string out;
    for (size_t i = 0; i < times; ++i) out += pattern;
    return out;
}

void walkSeeds() {
    using namespace fuzz;
    seed("bench", MachineProgram(0));
    seed("bench-traced", MachineProgram(flags::kTraced));
    seed("bench-lists-replug", MachineProgram(flags::kThroughLists)
                                   .nextWalk()
                                   .portKnob(0, port_knob::kUnplug, 0)
                                   .addDevice(3, 0x1A2B, 0x0003, device_kind::kWinUsb | device_kind::kWithStrings)
                                   .nextWalk()
                                   .addDevice(0, 0x1A2B, 0x0001, device_kind::kHid | device_kind::kWithStrings));
    seed("bench-one-vendor", MachineProgram(flags::kOneVendor | flags::kThroughLists, 0x1A2B));
    seed("useinfguid-fixed-class", MachineProgram(flags::kUseInfGuid)
                                       .deviceText(0, device_text::kFixedClassPath,
                                                   u"\\\\?\\USB#VID_1A2B&PID_0001#KL-000117#{58d07210-27c1-11dd-bd0b-0800200c9a66}"));
    seed("bare-machine-added", MachineProgram(flags::kBareMachine)
                                   .addDevice(0, 0x1A2B, 0x0001, device_kind::kWinUsb | device_kind::kWithStrings)
                                   .addDevice(3, 0x5C6D, 0x2001, device_kind::kMassStorage));

    // Configuration descriptors.
    seed("config-length-byte-zero",
         MachineProgram(0).configuration(0, 0, configuration(25, {0, 4, 0, 0, 1, 0xFF, 0, 0, 0, 7, 5, 0x81, 2, 0, 2, 0})));
    seed("config-total-length-beyond-data", MachineProgram(0).configuration(0, 0, configuration(0xFFFF, kVendorInterface)));
    seed("config-total-length-short", MachineProgram(0).configuration(0, 0, configuration(4, kVendorInterface)));
    seed("config-descriptor-past-end",
         MachineProgram(0).configuration(0, 0, configuration(20, {9, 4, 0, 0, 0, 0xFF, 0, 0, 4, 0xFF, 4})));
    seed("config-changes-between-reads",
         MachineProgram(0).answerLie(0, answer::kConfiguration, 0, answer::kChangesAfterFirstRead, 0,
                                     configuration(64, kVendorInterface)));
    seed("config-bytes-returned-lie",
         MachineProgram(0).answerLie(4, answer::kConfiguration, 0, answer::kBytesReturned, 0xFFFFFFFF));
    seed("config-video-strings",
         MachineProgram(0).configuration(
             4, 0, configuration(18, {9, 4, 0, 0, 0, 0x0E, 1, 0, 5})));
    seed("config-association-short", MachineProgram(0).configuration(4, 0, configuration(16, {7, 11, 0, 2, 2, 2, 1})));
    seed("bos-total-length-beyond-data", MachineProgram(0).bos(0, {5, 15, 0xFF, 0x7F, 1, 7, 16, 2, 6, 0, 0, 0}));
    seed("bos-head-only", MachineProgram(0).bos(5, {5, 15, 5, 0, 0}));

    // String descriptors and language lists.
    seed("string-odd-length", MachineProgram(0).stringBytes(0, 1, 0x0409, {7, 3, 'A', 0, 'B', 0, 'C'}));
    seed("string-length-beyond-data", MachineProgram(0).stringBytes(0, 2, 0x0409, {0xFF, 3, 'A', 0}));
    seed("string-length-short", MachineProgram(0).stringBytes(0, 3, 0x0409, {2, 3, 'A', 0, 'B', 0}));
    seed("string-wrong-type", MachineProgram(0).stringBytes(1, 1, 0x0409, {6, 5, 'A', 0, 'B', 0}));
    seed("string-wide-units", MachineProgram(0).stringText(0, 2, 0, u"A\u0100B\u00E9\u4E2D"));
    seed("string-longest", MachineProgram(0).stringText(0, 1, 0, repeated(u"Long", 40)));
    seed("string-bytes-returned-lie",
         MachineProgram(0).answerLie(0, answer::kString, 0, answer::kBytesReturned, 0xFFFFFFFF));
    seed("string-changes-between-reads",
         MachineProgram(0).answerLie(3, answer::kString, 1, answer::kChangesAfterFirstRead, 0, {4, 3, 'X', 0}));
    seed("languages-none", MachineProgram(0).languages(0, {2, 3}));
    seed("languages-odd-length", MachineProgram(0).languages(0, {3, 3, 9}));
    seed("languages-length-one", MachineProgram(0).languages(1, {1}));
    seed("languages-length-zero", MachineProgram(0).languages(3, {0, 3, 9, 4}));
    seed("languages-many", [] {
        std::vector<uint16_t> many;
        for (uint16_t l = 1; l <= 126; ++l) many.push_back(static_cast<uint16_t>(0x0400 + l));
        return MachineProgram(0).languageList(6, many).stringText(6, 1, 0, u"Maker").stringText(6, 2, 0, u"Thing");
    }());
    seed("descriptor-strings-missing", MachineProgram(0).descriptorByte(7, 14, 1).descriptorByte(7, 15, 2)
                                           .descriptorByte(7, 16, 3));
    seed("descriptor-all-zero", MachineProgram(0).descriptorBytes(0, std::vector<uint8_t>(18, 0)));

    // Names, ActualLength values and byte counts.
    seed("driver-key-actual-length-zero", MachineProgram(0).portKnob(0, port_knob::kDriverKeyActualLength, 0));
    seed("driver-key-actual-length-huge", MachineProgram(0).portKnob(1, port_knob::kDriverKeyActualLength, 0xFFFFFFFF));
    seed("driver-key-actual-length-odd", MachineProgram(0).portKnob(0, port_knob::kDriverKeyActualLength, 11));
    seed("driver-key-bytes-returned-zero", MachineProgram(0).portKnob(0, port_knob::kDriverKeyBytesReturned, 0));
    seed("hub-name-actual-length-huge", MachineProgram(0).portKnob(2, port_knob::kNodeNameActualLength, 0xFFFFFFF6));
    seed("root-hub-name-actual-length-short",
         MachineProgram(0).controllerValue(0, controller_knob::kRootHubNameActualLength, 5));
    seed("root-hub-name-actual-length-big",
         MachineProgram(0).controllerValue(1, controller_knob::kRootHubNameActualLength, 0x10001));
    seed("controller-driver-key-actual-length-seven",
         MachineProgram(0).controllerValue(0, controller_knob::kDriverKeyActualLength, 7));
    seed("hub-name-long", MachineProgram(0).hubText(1, hub_knob::kName, repeated(u"hub#", 80)));
    seed("hub-name-wide-unit", MachineProgram(0).hubText(1, hub_knob::kName, u"USB#VID_2C3D&PID_4100#5&\u0100#x"));
    seed("driver-key-long", MachineProgram(0).deviceText(0, device_text::kHubDriverKey, repeated(u"k", 300)));
    seed("driver-key-wide-unit",
         MachineProgram(0).deviceText(1, device_text::kHubDriverKey, u"{36fc9e60-c465-11cf-8056-444553540000}\\\u01000001"));
    seed("service-odd-case", MachineProgram(0).deviceText(7, device_text::kService, u"wINusB"));
    seed("service-long", MachineProgram(0).deviceText(7, device_text::kService, repeated(u"x", 600)));
    seed("service-absent", MachineProgram(0).deviceText(0, device_text::kService, std::nullopt));
    seed("description-absent", MachineProgram(0).deviceText(1, device_text::kDescription, std::nullopt));
    seed("interface-path-wide", MachineProgram(0).deviceText(0, device_text::kInterfacePath, u"\\\\?\\usb#\u0141#x"));
    seed("instance-id-not-pci", MachineProgram(0).controllerText(0, controller_knob::kInstanceId, u"PCI\\VEN_1B6F&DEV_"));
    seed("power-map-fails", MachineProgram(0).controllerBlob(0, controller_knob::kPowerMap, 2, {31}));
    seed("controller-info-raw",
         MachineProgram(0).controllerBlob(1, controller_knob::kControllerInfo, 0, std::vector<uint8_t>(24, 0xFF)));

    // SetupAPI answers.
    seed("detail-size-small", MachineProgram(0).interfaceLie(4, interface_lie::kRequiredSize, 4));
    seed("detail-size-zero", MachineProgram(0).interfaceLie(0, interface_lie::kRequiredSize, 0));
    seed("detail-size-beyond-limit", MachineProgram(0).interfaceLie(2, interface_lie::kRequiredSize, 0x10009));
    seed("detail-size-query-succeeds", MachineProgram(0).interfaceLie(6, interface_lie::kSizeQueryReportsSuccess, 1));
    seed("property-fails", MachineProgram(0).nodeFault(4, node_fault::kPropertyError, 0x0D << 8 | 0x04));

    // Hubs and ports.
    seed("hub-reports-255-ports", MachineProgram(0).hubValue(1, hub_knob::kReportedPorts, 255));
    seed("port-status-odd", MachineProgram(0).portKnob(7, port_knob::kConnectionStatus, 7));
    seed("port-connection-info-fails",
         MachineProgram(0).portKnob(8, port_knob::kConnectionInfoExError, 31).portKnob(8, port_knob::kConnectionInfoError, 0));
    seed("device-says-hub", MachineProgram(0).deviceShape(0, shape::kIsHub, 1));
    seed("nested-hubs", MachineProgram(flags::kBareMachine)
                            .addDevice(0, 0x2C3D, 0x4100, static_cast<uint8_t>(device_kind::kHub | 3 << 4))
                            .addDevice(1, 0x2C3D, 0x4100, static_cast<uint8_t>(device_kind::kHub | 3 << 4))
                            .addDevice(2, 0x1A2B, 0x0002, device_kind::kHid | device_kind::kWithStrings));

    seed("hubs-nested-twenty-deep", [] {
        // Each new one-port hub goes on the port of the one before.
        MachineProgram program(flags::kBareMachine);
        for (uint8_t depth = 0; depth < 20; ++depth) program.addDevice(depth, 0x2C3D, 0x4100, device_kind::kHub);
        return program.addDevice(20, 0x1A2B, 0x0001, device_kind::kWinUsb | device_kind::kWithStrings);
    }());
    seed("hub-names-lead-across", MachineProgram(0).hubText(1, hub_knob::kName, u"same").hubText(2, hub_knob::kName, u"same"));

    // HID interfaces.
    seed("hid-strings-long", MachineProgram(0).hidText(1, 0, hid_knob::kProductText, repeated(u"Echo", 60)));
    seed("hid-serial-empty", MachineProgram(0).stringText(1, 3, 0, u"").hidText(1, 0, hid_knob::kSerial, u""));
    seed("hid-strings-wide", MachineProgram(0).hidText(1, 0, hid_knob::kManufacturer, u"Vantorel\u0100Labs"));
    seed("hid-path-wide", MachineProgram(0).hidText(1, 0, hid_knob::kPath, u"\\\\?\\hid#\u4E2D#1"));
    seed("hid-strings-absent", MachineProgram(0).stringText(1, 1, 0, std::u16string()).hidText(1, 0, hid_knob::kManufacturer,
                                                                                         std::nullopt));
    seed("hid-second-interface", MachineProgram(0).hidValue(1, 0, hid_knob::kAdd, 0).hidValue(1, 1, hid_knob::kVendor, 0x1A2B));
    seed("hid-attributes-fail", MachineProgram(0).hidValue(1, 0, hid_knob::kAttributesError, 31));

    // Platform calls that fail.
    seed("heap-fails-early", MachineProgram(0).failCall(0, 4, 0));
    seed("heap-fails-late", MachineProgram(flags::kThroughLists).failCall(0, 300, 0));
    seed("malloc-fails", MachineProgram(flags::kThroughLists).failCall(1, 10, 0));
    seed("request-fails", MachineProgram(0).failCall(4, 40, 2));
    seed("config-file-read-fails", MachineProgram(flags::kUseInfGuid).failCall(18, 0, 0));
}

// Text target: allocation choice, capacity, destination size (choice and
// value), count (choice and value), maximum (choice and value), split, A, B.
void textSeed(const std::string& name, uint8_t sizeChoice, uint16_t size, uint8_t countChoice, uint32_t count,
              const std::string& a, const std::string& b) {
    fuzz::ByteWriter w;
    w.u8(1).u16(static_cast<uint16_t>(a.size() / 2 + 1)).u8(sizeChoice).u16(size).u8(countChoice).u32(count);
    w.u8(7).u32(static_cast<uint32_t>(a.size())).u16(static_cast<uint16_t>(a.size()));
    w.bytes(std::vector<uint8_t>(a.begin(), a.end())).bytes(std::vector<uint8_t>(b.begin(), b.end()));
    write("text", name, w.data());
}

void textSeeds() {
    using namespace std::string_literals;
    textSeed("copy-cut", 7, 4, 7, 10, "\\\\.\\"s, "0123456789"s);
    textSeed("copy-exact-fit", 7, 10, 7, 9, "abc\0"s, "0123456789"s);
    textSeed("append-unterminated", 7, 3, 7, 5, "abcdef"s, "xy"s);
    textSeed("count-too-large", 7, 16, 1, 0, "a\0"s, "WinUSB"s);
    textSeed("size-invalid", 1, 0, 7, 4, "HidUsb\0"s, "hid"s);
    textSeed("wide-units", 7, 32, 7, 31, "A\0\0\x01" "B\0\xE9\0\x2D\x4E\0\0"s, "hId"s);
    textSeed("ascii-path", 7, 300, 7, 299, "U\0S\0B\0#\0V\0I\0D\0_\0"s, "\\\\.\\USB#ROOT_HUB30"s);
}

// Record target: present, ids, marks, three texts (length byte, bytes),
// converter bytes.
void recordSeed(const std::string& name, uint32_t present, const std::vector<std::string>& texts,
                const std::string& converter) {
    fuzz::ByteWriter w;
    w.u32(present).u16(0x1234).u16(0xABCD).u16(0x0100).u32(1).u32(0);
    for (const std::string& t : texts) {
        if (t == "(none)") {
            w.u8(0x80);
            continue;
        }
        w.u8(static_cast<uint8_t>(t.size())).bytes(std::vector<uint8_t>(t.begin(), t.end()));
    }
    w.bytes(std::vector<uint8_t>(converter.begin(), converter.end()));
    write("record", name, w.data());
}

void recordSeeds() {
    recordSeed("plain", 1, {"Acme", "Widget", "(none)"}, "Acme");
    recordSeed("latin1", 0, {"Atelier Mesure", "Balance de pr\xE9" "cision", "AM-0310-77"}, "pr\xE9" "cision");
    recordSeed("utf8", 1, {"Nordlicht", "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x94\x8C", "?"},
               "\xF0\x9F\x94\x8C\xED\xA0\x80\xC0\xAF");
    recordSeed("separator-inside", 1, {"a:=b", ":=end", ""}, ":=");
    recordSeed("longest", 0x80000000u, {std::string(127, 'M'), std::string(127, '\xFF'), std::string(127, 'S')},
               std::string(64, '\x80'));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    outputDirectory = argv[1];
    walkSeeds();
    textSeeds();
    recordSeeds();
    return 0;
}
