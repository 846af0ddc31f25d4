// import-sysfs: the devices under ROOT/bus/usb/devices and the PCI parents
// of their root hubs, read from a sysfs tree.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tools/bench/linux_devices.h"
#include "tools/bench/linux_import.h"

namespace bench_tool {
namespace {

namespace fs = std::filesystem;

LinuxDevice readDevice(const fs::path& dir) {
    LinuxDevice device;
    device.path = dir.generic_string();
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        std::string name = entry.path().filename().string();
        if (entry.is_symlink(ec)) {
            device.links[name] = fs::read_symlink(entry.path(), ec).generic_string();
        } else if (entry.is_regular_file(ec) && entry.file_size(ec) <= 65536) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            device.attributes[name] = text.str();
        }
    }
    return device;
}

// A device with its interfaces and their HID children (names with a colon:
// "1-1:1.0", "0003:046D:C31C.0001"), which bus/usb/devices may not list.
void readWithInterfaces(const fs::path& dir, int depth, std::set<fs::path>* read, std::vector<LinuxDevice>* out) {
    if (!read->insert(dir).second) return;
    out->push_back(readDevice(dir));
    if (depth == 2) return;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        if (!entry.is_symlink(ec) && entry.is_directory(ec) &&
            entry.path().filename().string().find(':') != std::string::npos)
            readWithInterfaces(entry.path(), depth + 1, read, out);
}

}  // namespace

bool importSysfs(const std::string& root, std::string* bench, std::string* error) {
    std::error_code ec;
    fs::path devices = fs::path(root) / "bus" / "usb" / "devices";
    std::vector<LinuxDevice> found;
    std::set<fs::path> parents, read;
    for (const fs::directory_entry& entry : fs::directory_iterator(devices, ec)) {
        fs::path dir = fs::canonical(entry.path(), ec);
        if (ec) continue;
        readWithInterfaces(dir, 0, &read, &found);
        if (entry.path().filename().string().rfind("usb", 0) == 0) parents.insert(dir.parent_path());
    }
    if (found.empty()) {
        *error = devices.generic_string() + ": no USB devices there";
        return false;
    }
    for (const fs::path& parent : parents) found.push_back(readDevice(parent));
    return linuxBench(found, root, bench, error);
}

}  // namespace bench_tool
