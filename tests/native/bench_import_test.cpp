// Linux machines imported as benches: a recording and a sysfs tree that the
// tests write, read back by the simulated machine and listed by the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "jni/description_record.h"
#include "platform/sim/bench.h"
#include "platform/sim/installed_machine.h"
#include "tools/bench/linux_import.h"

namespace {

namespace fs = std::filesystem;

const char* kHubDescriptors = "12011002090001404b1d5401000501020001" "0902190001010080fa0904000001090000000705810304000c";
const char* kKeyboardDescriptors =
    "12010002000000086d041cc3220501020001"
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
    std::ofstream out(dir_ / "desk.umockdev", std::ios::binary);
    out << "P: /devices/pci0000:00/0000:00:14.0\nE: SUBSYSTEM=pci\nA: vendor=0x8086\\n\nA: device=0xa36d\\n\n"
           "A: subsystem_vendor=0x1028\\n\nA: subsystem_device=0x0869\\n\nA: revision=0x10\\n\n\n";
    std::string hub = "/devices/pci0000:00/0000:00:14.0/usb1";
    recordDevice(out, hub, "usb_device",
                 "A: idVendor=1d6b\\n\nA: idProduct=0002\\n\nA: maxchild=12\\n\nA: speed=480\\n\nH: descriptors=" +
                     std::string(kHubDescriptors));
    recordDevice(out, hub + "/1-0:1.0", "usb_interface", "E: DRIVER=hub\nA: bInterfaceClass=09\\n");
    std::string name = "1-2";
    for (int level = 0; level < 3; ++level) {
        hub += "/" + name;
        recordDevice(out, hub, "usb_device",
                     "A: idVendor=2c3d\\n\nA: idProduct=4100\\n\nA: maxchild=4\\n\nA: speed=480\\n\nH: descriptors=" +
                         std::string(kHubDescriptors));
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
    ASSERT_TRUE(bench_tool::importUmockdev((dir_ / "desk.umockdev").string(), &bench, &error)) << error;
    // The escaped backslash and the attributes' newlines are undone; the HID
    // interface declares 8-byte input reports.
    EXPECT_NE(bench.find("\"reportBytes\": 8"), std::string::npos) << bench;
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
    writeFile(root / "descriptors", bytesOf(kHubDescriptors));
    // A storage device held by usb-storage, and one no driver holds.
    const char* storage = "1201000200000040810558550001010203010902200001010080320904000002080650000705810200020007050202000200";
    struct Plugged { const char* name; const char* product; const char* driver; };
    for (const Plugged& p : {Plugged{"1-1", "5855", "usb-storage"}, Plugged{"1-4", "5856", nullptr}}) {
        fs::path device = root / p.name;
        writeFile(device / "idVendor", "0581\n");
        writeFile(device / "idProduct", std::string(p.product) + "\n");
        writeFile(device / "serial", "SN" + std::string(p.product) + "\n");
        writeFile(device / "speed", "480\n");
        writeFile(device / "descriptors", bytesOf(storage));
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

}  // namespace
