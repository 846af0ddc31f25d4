// import-sysfs: the devices under ROOT/bus/usb/devices and the PCI parents
// of their root hubs, read from a sysfs tree.
#include <set>

#include "tools/bench/linux_devices.h"
#include "tools/bench/linux_import.h"
#include "tools/bench/sysfs_tree.h"

namespace bench_tool {
namespace {

std::string child(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string parentOf(const std::string& path) {
    size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string() : cut == 0 ? std::string("/") : path.substr(0, cut);
}

LinuxDevice readDevice(const SysfsTree& tree, const std::string& dir) {
    LinuxDevice device;
    device.path = dir;
    for (const SysfsEntry& entry : tree.list(dir)) {
        std::string path = child(dir, entry.name);
        if (entry.kind == SysfsEntry::Kind::Link) {
            device.links[entry.name] = tree.linkTarget(path);
        } else if (entry.kind == SysfsEntry::Kind::File) {
            std::string bytes;
            if (tree.read(path, 65536, &bytes)) device.attributes[entry.name] = bytes;
        }
    }
    return device;
}

// A device with its interfaces and their HID children (names with a colon:
// "1-1:1.0", "0003:046D:C31C.0001"), which bus/usb/devices may not list.
void readWithInterfaces(const SysfsTree& tree, const std::string& dir, int depth, std::set<std::string>* read,
                        std::vector<LinuxDevice>* out) {
    if (!read->insert(dir).second) return;
    out->push_back(readDevice(tree, dir));
    if (depth == 2) return;
    for (const SysfsEntry& entry : tree.list(dir))
        if (entry.kind == SysfsEntry::Kind::Directory && entry.name.find(':') != std::string::npos)
            readWithInterfaces(tree, child(dir, entry.name), depth + 1, read, out);
}

}  // namespace

bool importSysfsTree(const SysfsTree& tree, const std::string& root, std::string* bench, std::string* error) {
    std::string devices = child(child(child(root, "bus"), "usb"), "devices");
    std::vector<LinuxDevice> found;
    std::set<std::string> parents, read;
    for (const SysfsEntry& entry : tree.list(devices)) {
        std::string dir;
        if (!tree.canonical(child(devices, entry.name), &dir)) continue;
        readWithInterfaces(tree, dir, 0, &read, &found);
        if (entry.name.rfind("usb", 0) == 0) parents.insert(parentOf(dir));
    }
    if (found.empty()) {
        *error = devices + ": no USB devices there";
        return false;
    }
    for (const std::string& parent : parents) found.push_back(readDevice(tree, parent));
    return linuxBench(found, root, bench, error);
}

bool importSysfs(const std::string& root, std::string* bench, std::string* error) {
    return importSysfsTree(FileSystemTree(), root, bench, error);
}

}  // namespace bench_tool
