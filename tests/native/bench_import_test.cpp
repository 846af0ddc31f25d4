// Linux machines imported as benches: recordings of real machines, damaged
// copies of them, and a recording and a sysfs tree that the tests write,
// read back by the simulated machine and listed by the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <random>
#include <string>
#include <vector>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "jni/description_record.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"
#include "platform/sim/model/machine_builder.h"
#include "tools/bench/linux_import.h"

namespace {

namespace fs = std::filesystem;

// A hub's descriptors with its vendor and product ids (little-endian hex).
std::string hubDescriptors(const char* ids) {
    return std::string("1201100209000140") + ids + "000501020001" "0902190001010080fa0904000001090000000705810304000c";
}
const char* kRootHubIds = "6b1d0200";      // 1d6b:0002
const char* kExternalHubIds = "3d2c0041";  // 2c3d:4100
const char* kKeyboardDescriptors =
    "12010002000000086d041cc3226401020001"
    "09022200010100a0320904000001030101000921110100012227000705810308000a";
// Eight modifier bits, a reserved byte and six key codes in; five LED bits and padding out.
const char* kKeyboardReport =
    "05010906a101050719e029e71500250175019508810295017508810105081901290591029501750391010507190029"
    "ff150026ff00750895068100c0";

std::vector<std::string> listAll(const std::string& bench) {
    sim::Machine machine;
    std::string error;
    EXPECT_TRUE(sim::parseBench(bench, "imported.json", &machine, &error)) << error;
    sim::installMachine(machine);
    releaseWalkState();
    std::vector<std::string> records;
    int32_t list = DeviceListRegistry::create(0xFFFF);
    for (DeviceEntry* e = DeviceListRegistry::nextEntry(list, nullptr); e != nullptr; e = DeviceListRegistry::nextEntry(list, e)) {
        char record[kDescriptionRecordSize];
        formatDescriptionRecord(*e, record);
        records.push_back(std::string(record) + (e->hidPath != nullptr ? " hid" : ""));
    }
    DeviceListRegistry::release(list);
    releaseWalkState();
    return records;
}

class BenchImport : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tamberlyx-import-" + std::to_string(std::random_device()()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        sim::installDefaultBench();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    fs::path dir_;
};

void recordDevice(std::ofstream& out, const std::string& path, const std::string& type, const std::string& more) {
    out << "P: " << path << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=" << type << "\n" << more << "\n";
}

TEST_F(BenchImport, KeyboardBehindThreeHubsListsAloneAsASupportedHidDevice) {
    std::ofstream out(dir_ / "machine.umockdev", std::ios::binary);
    out << "P: /devices/pci0000:00/0000:00:14.0\nE: SUBSYSTEM=pci\nA: vendor=0x8086\\n\nA: device=0xa36d\\n\n"
           "A: subsystem_vendor=0x1028\\n\nA: subsystem_device=0x0869\\n\nA: revision=0x10\\n\n\n";
    std::string hub = "/devices/pci0000:00/0000:00:14.0/usb1";
    recordDevice(out, hub, "usb_device",
                 "A: idVendor=1d6b\\n\nA: idProduct=0002\\n\nA: maxchild=12\\n\nA: speed=480\\n\nH: descriptors=" +
                     hubDescriptors(kRootHubIds));
    recordDevice(out, hub + "/1-0:1.0", "usb_interface", "E: DRIVER=hub\nA: bInterfaceClass=09\\n");
    std::string name = "1-2";
    for (int level = 0; level < 3; ++level) {
        hub += "/" + name;
        recordDevice(out, hub, "usb_device",
                     "A: idVendor=2c3d\\n\nA: idProduct=4100\\n\nA: maxchild=4\\n\nA: speed=480\\n\nH: descriptors=" +
                         hubDescriptors(kExternalHubIds));
        recordDevice(out, hub + "/" + name + ":1.0", "usb_interface", "L: driver=../../../../bus/usb/drivers/hub");
        name += ".3";
    }
    std::string keyboard = hub + "/" + name;
    recordDevice(out, keyboard, "usb_device",
                 "A: idVendor=046d\\n\nA: idProduct=c31c\\n\nA: bcdDevice=6422\\n\nA: speed=1.5\\n\n"
                 "A: manufacturer=Logi\\\\Tech\\n\nA: product=USB Keyboard\\n\nA: serial=KB-7\\n\nH: descriptors=" +
                     std::string(kKeyboardDescriptors));
    recordDevice(out, keyboard + "/" + name + ":1.0", "usb_interface", "E: DRIVER=usbhid");
    out << "P: " << keyboard << "/" << name << ":1.0/0003:046D:C31C.0001\nE: SUBSYSTEM=hid\nH: report_descriptor="
        << kKeyboardReport << "\n";
    out.close();

    std::string bench, error;
    ASSERT_TRUE(bench_tool::importUmockdev((dir_ / "machine.umockdev").string(), &bench, &error)) << error;
    // The escaped backslash and the attributes' newlines are undone; the HID
    // interface declares 8-byte input reports, which take a report id byte
    // besides.
    sim::Machine machine;
    ASSERT_TRUE(sim::parseBench(bench, "imported.json", &machine, &error)) << error;
    const sim::Device* device = sim::findDevice(machine, 0x046D, 0xC31C);
    ASSERT_TRUE(device != nullptr && device->hidInterfaces.size() == 1) << bench;
    EXPECT_EQ(device->hidInterfaces[0].behaviour.inputReportLength, 9u);
    EXPECT_EQ(device->hidInterfaces[0].behaviour.outputReportLength, 9u);
    EXPECT_EQ(listAll(bench), std::vector<std::string>{"1:=046D:=C31C:=6422:=Logi\\Tech:=USB Keyboard:=KB-7:=x:=h:=end hid"});
}

void writeFile(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::string bytesOf(const char* hex) {
    std::string out;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2) out += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
    return out;
}

TEST_F(BenchImport, SysfsTreeGivesServicesFromTheLinuxDrivers) {
#ifdef _WIN32
    GTEST_SKIP() << "a sysfs tree is made of symbolic links, which Windows programs do not make";
#endif
    fs::path pci = dir_ / "devices" / "pci0000:00" / "0000:00:14.0";
    writeFile(pci / "vendor", "0x8086\n");
    fs::path root = pci / "usb1";
    writeFile(root / "idVendor", "1d6b\n");
    writeFile(root / "idProduct", "0002\n");
    writeFile(root / "maxchild", "4\n");
    writeFile(root / "descriptors", bytesOf(hubDescriptors(kRootHubIds).c_str()));
    // A storage device held by usb-storage, and one no driver holds.
    struct Plugged { const char* name; const char* product; const char* productLittleEndian; const char* driver; };
    for (const Plugged& p : {Plugged{"1-1", "5855", "5558", "usb-storage"}, Plugged{"1-4", "5856", "5658", nullptr}}) {
        std::string storage = std::string("120100020000004081") + "05" + p.productLittleEndian +
                              "0001010203010902200001010080320904000002080650000705810200020007050202000200";
        fs::path device = root / p.name;
        writeFile(device / "idVendor", "0581\n");
        writeFile(device / "idProduct", std::string(p.product) + "\n");
        writeFile(device / "serial", "SN" + std::string(p.product) + "\n");
        writeFile(device / "speed", "480\n");
        writeFile(device / "descriptors", bytesOf(storage.c_str()));
        fs::path interface = device / (std::string(p.name) + ":1.0");
        writeFile(interface / "bInterfaceClass", "08\n");
        if (p.driver != nullptr) {
            fs::create_directories(dir_ / "bus" / "usb" / "drivers" / p.driver);
            fs::create_directory_symlink(dir_ / "bus" / "usb" / "drivers" / p.driver, interface / "driver");
        }
    }
    fs::create_directories(dir_ / "bus" / "usb" / "devices");
    for (const char* name : {"usb1", "1-1", "1-4"})
        fs::create_directory_symlink(name == std::string("usb1") ? root : root / name, dir_ / "bus" / "usb" / "devices" / name);

    std::string bench, error;
    ASSERT_TRUE(bench_tool::importSysfs(dir_.string(), &bench, &error)) << error;
    EXPECT_NE(bench.find("\"vendor\": \"0x8086\""), std::string::npos) << bench;
    // The driverless device has no service, so only the storage device is listed.
    EXPECT_EQ(listAll(bench), std::vector<std::string>{"1:=0581:=5855:=0000:=?:=?:=SN5855:=o:=b:=end"});
}

const fs::path kRecordings = fs::path(TAMBERLYX_SOURCE_DIR) / "tests" / "import" / "recordings";

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// What a recording says of each USB device, read here line by line: its
// ids, as "0x" and four upper-case digits, and its descriptors as hex.
struct Recorded {
    std::string vendorId, productId, descriptors;
    std::string parent;                     // the parent node's name
    std::map<std::string, std::string> pci;  // "vendor" -> "8086" (a PCI node's ids, without "0x")
};

std::map<std::string, Recorded> recordedDevices(const std::string& text) {
    std::map<std::string, Recorded> devices;
    std::string path;
    auto upper = [](std::string value) {
        value = value.substr(0, value.find('\\'));
        for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return value;
    };
    for (const std::string& line : linesOf(text)) {
        if (line.rfind("P: ", 0) == 0) {
            std::string full = line.substr(3);
            path = full.substr(full.find_last_of('/') + 1);
            std::string above = full.substr(0, full.find_last_of('/'));
            devices[path].parent = above.substr(above.find_last_of('/') + 1);
            continue;
        }
        for (const char* id : {"vendor", "device", "subsystem_vendor", "subsystem_device"})
            if (line.rfind(std::string("A: ") + id + "=0x", 0) == 0)
                devices[path].pci[id] = upper(line.substr(std::strlen(id) + 6));
        if (line.rfind("A: idVendor=", 0) == 0) devices[path].vendorId = "0x" + upper(line.substr(12));
        else if (line.rfind("A: idProduct=", 0) == 0) devices[path].productId = "0x" + upper(line.substr(13));
        else if (line.rfind("H: descriptors=", 0) == 0) devices[path].descriptors = upper(line.substr(15));
    }
    return devices;
}

// The bench's device on the ports a Linux name gives ("1-1.5.4": port 1 of
// the root hub, then 5, then 4).
const nlohmann::json* benchDevice(const nlohmann::json& bench, const std::string& name) {
    const nlohmann::json* hub = &bench["controllers"][0]["rootHub"];
    const nlohmann::json* device = nullptr;
    std::string ports = name.substr(name.find('-') + 1);
    for (size_t at = 0; at <= ports.size();) {
        size_t end = ports.find('.', at);
        if (end == std::string::npos) end = ports.size();
        std::string port = ports.substr(at, end - at);
        if (hub == nullptr || !hub->contains("ports") || !(*hub)["ports"].contains(port)) return nullptr;
        device = &(*hub)["ports"][port];
        hub = device->contains("hub") ? &(*device)["hub"] : nullptr;
        at = end + 1;
    }
    return device;
}

TEST_F(BenchImport, RealRecordingsKeepEveryDeviceBehindItsHubsAndListWhatTheyShould) {
    int recordings = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(kRecordings)) {
        if (entry.path().extension() != ".expected") continue;
        ++recordings;
        fs::path recording = fs::path(entry.path()).replace_extension(".umockdev");
        SCOPED_TRACE(recording.filename().string());
        std::string bench, error;
        ASSERT_TRUE(bench_tool::importUmockdev(recording.string(), &bench, &error)) << error;
        nlohmann::json parsed = nlohmann::json::parse(bench);
        std::string text = readText(recording);
        std::map<std::string, Recorded> recorded = recordedDevices(text);
        // The controller has the PCI ids of the root hub's parent.
        std::string rootHub;
        for (const auto& device : recorded)
            if (device.first.rfind("usb", 0) == 0) rootHub = device.first;
        const Recorded& pci = recorded[recorded[rootHub].parent];
        ASSERT_EQ(pci.pci.size(), 4u) << "no PCI ids recorded above " << rootHub;
        const nlohmann::json& ids = parsed["controllers"][0]["pci"];
        EXPECT_EQ(ids["vendor"], "0x" + pci.pci.at("vendor"));
        EXPECT_EQ(ids["device"], "0x" + pci.pci.at("device"));
        EXPECT_EQ(ids["subsystem"], "0x" + pci.pci.at("subsystem_device") + pci.pci.at("subsystem_vendor"));
        for (const auto& device : recorded) {
            if (device.first.rfind("usb", 0) == 0 || device.second.vendorId.empty()) continue;
            const nlohmann::json* found = benchDevice(parsed, device.first);
            ASSERT_NE(found, nullptr) << device.first << " is not on its port";
            EXPECT_EQ((*found)["vendorId"], device.second.vendorId) << device.first;
            EXPECT_EQ((*found)["productId"], device.second.productId) << device.first;
            bool hub = device.second.descriptors.substr(8, 2) == "09";
            EXPECT_EQ(found->contains("hub"), hub) << device.first;
            std::string configuration = (*found)["configurationBytes"];
            configuration.erase(std::remove(configuration.begin(), configuration.end(), ' '), configuration.end());
            EXPECT_EQ(device.second.descriptors.substr(36, configuration.size()), configuration) << device.first;
        }
        std::vector<std::string> records;
        for (const std::string& record : listAll(bench)) records.push_back(record.substr(0, record.find(" hid")));
        EXPECT_EQ(records, linesOf(readText(entry.path())));
    }
    EXPECT_GE(recordings, 6);
}

// Damaged copies of a real recording: each is refused with one line that
// names the file, the line and what is wrong.
TEST_F(BenchImport, DamagedRecordingsAreRefusedWithTheirLine) {
    std::string text = readText(kRecordings / "security-key-behind-a-hub.umockdev");
    std::vector<std::string> lines = linesOf(text);
    auto lineOf = [&](const std::string& start) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(start, 0) == 0) return i;
        ADD_FAILURE() << "no line starts with " << start;
        return size_t{0};
    };
    auto joined = [](const std::vector<std::string>& from, size_t count) {
        std::string out;
        for (size_t i = 0; i < count && i < from.size(); ++i) out += from[i] + "\n";
        return out;
    };
    size_t keyVendor = lineOf("A: idVendor=1050");
    size_t keyDescriptors = lineOf("H: descriptors=12010002");
    const std::string hubNode = "P: /devices/pci0000:00/0000:00:08.1/0000:05:00.3/usb1/1-2";
    size_t hub = static_cast<size_t>(std::find(lines.begin(), lines.end(), hubNode) - lines.begin());
    size_t key = static_cast<size_t>(std::find(lines.begin(), lines.end(), hubNode + "/1-2.3") - lines.begin());
    struct Damage { std::string text; std::string says; };
    std::string cut = text.substr(0, text.size() - 7);
    size_t pciVendor = lineOf("A: vendor=0x1022");
    size_t reports = lineOf("H: report_descriptor=");
    std::vector<std::string> badHex = lines, otherVendor = lines, longerConfiguration = lines, widePci = lines,
                             hugeReport = lines;
    // 65535 reports of 8 bits in one input report.
    hugeReport[reports] = "H: report_descriptor=750896FFFF8102";
    widePci[pciVendor] = "A: vendor=0x11022\\n";
    badHex[keyDescriptors].replace(20, 2, "Z1");
    otherVendor[keyVendor] = "A: idVendor=1051\\n";
    longerConfiguration[keyDescriptors].replace(15 + 36 + 4, 4, "FF00");
    std::vector<Damage> damages = {
        {cut, ":" + std::to_string(std::count(cut.begin(), cut.end(), '\n') + 1) +
                  ": the recording ends in the middle of a line"},
        {joined(lines, hub), ":" + std::to_string(key + 1) + ": 1-2.3: its hub 1-2 is not recorded"},
        {joined(badHex, lines.size()), ":" + std::to_string(keyDescriptors + 1) + ": descriptors: bad hex at column 21"},
        {joined(otherVendor, lines.size()), ":" + std::to_string(keyVendor + 1) + ": idVendor 1051 contradicts the device descriptor, which says 0x1050"},
        {joined(longerConfiguration, lines.size()), ":" + std::to_string(keyDescriptors + 1) + ": descriptors: the configuration claims 255 bytes"},
        {joined(widePci, lines.size()), ":" + std::to_string(pciVendor + 1) + ": vendor 0x11022 is out of range (at most 0xFFFF)"},
        {joined(hugeReport, lines.size()), ":" + std::to_string(reports + 1) + ": report_descriptor declares a report of 65535 bytes, more than 4095"},
    };
    for (const Damage& damage : damages) {
        fs::path file = dir_ / "damaged.umockdev";
        std::ofstream(file, std::ios::binary) << damage.text;
        std::string bench, error;
        EXPECT_FALSE(bench_tool::importUmockdev(file.string(), &bench, &error));
        EXPECT_EQ(error.rfind(file.string() + damage.says, 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    std::string bench, error;
    fs::path alone = kRecordings / "fingerprint-reader-without-its-hubs.umockdev";
    EXPECT_FALSE(bench_tool::importUmockdev(alone.string(), &bench, &error));
    EXPECT_EQ(error, alone.string() + ":1: 1-9: its hub usb1 is not recorded, so the device has no place (is the recording cut short?)");
}

}  // namespace
