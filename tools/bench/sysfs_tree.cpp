#include "tools/bench/sysfs_tree.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace bench_tool {

namespace fs = std::filesystem;

// -- the file system ---------------------------------------------------------

std::vector<SysfsEntry> FileSystemTree::list(const std::string& directory) const {
    std::vector<SysfsEntry> out;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, ec)) {
        SysfsEntry e;
        e.name = entry.path().filename().string();
        if (entry.is_symlink(ec)) e.kind = SysfsEntry::Kind::Link;
        else if (entry.is_regular_file(ec)) e.kind = SysfsEntry::Kind::File;
        else if (entry.is_directory(ec)) e.kind = SysfsEntry::Kind::Directory;
        out.push_back(e);
    }
    return out;
}

bool FileSystemTree::read(const std::string& file, size_t most, std::string* bytes) const {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > most || ec) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    *bytes = text.str();
    return true;
}

std::string FileSystemTree::linkTarget(const std::string& link) const {
    std::error_code ec;
    return fs::read_symlink(link, ec).generic_string();
}

bool FileSystemTree::canonical(const std::string& path, std::string* resolved) const {
    std::error_code ec;
    fs::path found = fs::canonical(path, ec);
    if (ec) return false;
    *resolved = found.generic_string();
    return true;
}

// -- a tree in memory --------------------------------------------------------

namespace {

std::deque<std::string> components(const std::string& path) {
    std::deque<std::string> out;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        if (end > at) out.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "/") + part;
    return out;
}

}  // namespace

bool MemoryTree::add(const std::string& path, const Node& node) {
    std::deque<std::string> parts = components(path);
    std::vector<std::string> above;
    while (parts.size() > 1) {
        above.push_back(parts.front());
        parts.pop_front();
        auto it = nodes_.emplace(joined(above), Node{}).first;
        if (it->second.kind != SysfsEntry::Kind::Directory) return false;
    }
    if (parts.empty()) return false;
    above.push_back(parts.front());
    return nodes_.emplace(joined(above), node).second;
}

void MemoryTree::addDirectory(const std::string& path) { add(path, Node{}); }
void MemoryTree::addFile(const std::string& path, const std::string& bytes) {
    add(path, Node{SysfsEntry::Kind::File, bytes});
}
void MemoryTree::addLink(const std::string& path, const std::string& target) {
    add(path, Node{SysfsEntry::Kind::Link, target});
}

// As the kernel resolves a path: component by component, a link's target
// in its place (from the root when it is absolute), ".." up to the root at
// most, and at most 40 links on the way (ELOOP beyond, path_resolution(7)).
bool MemoryTree::canonical(const std::string& path, std::string* resolved) const {
    std::deque<std::string> pending = components(path);
    std::vector<std::string> done;
    int links = 0;
    while (!pending.empty()) {
        std::string part = pending.front();
        pending.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            if (!done.empty()) done.pop_back();
            continue;
        }
        done.push_back(part);
        auto it = nodes_.find(joined(done));
        if (it == nodes_.end()) return false;
        if (it->second.kind == SysfsEntry::Kind::Link) {
            if (++links > 40) return false;
            done.pop_back();
            const std::string& target = it->second.content;
            if (!target.empty() && target[0] == '/') done.clear();
            std::deque<std::string> more = components(target);
            pending.insert(pending.begin(), more.begin(), more.end());
        } else if (it->second.kind != SysfsEntry::Kind::Directory && !pending.empty()) {
            return false;
        }
    }
    *resolved = "/" + joined(done);
    return true;
}

std::vector<SysfsEntry> MemoryTree::list(const std::string& directory) const {
    std::vector<SysfsEntry> out;
    std::string dir;
    if (!canonical(directory, &dir)) return out;
    std::string key = dir.substr(1);
    auto self = nodes_.find(key);
    if (self == nodes_.end() || self->second.kind != SysfsEntry::Kind::Directory) return out;
    std::string prefix = key.empty() ? "" : key + "/";
    for (auto it = nodes_.upper_bound(prefix); it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
        std::string name = it->first.substr(prefix.size());
        if (name.empty() || name.find('/') != std::string::npos) continue;
        out.push_back({name, it->second.kind});
    }
    return out;
}

bool MemoryTree::read(const std::string& file, size_t most, std::string* bytes) const {
    std::string path;
    if (!canonical(file, &path)) return false;
    auto it = nodes_.find(path.substr(1));
    if (it == nodes_.end() || it->second.kind != SysfsEntry::Kind::File || it->second.content.size() > most)
        return false;
    *bytes = it->second.content;
    return true;
}

std::string MemoryTree::linkTarget(const std::string& link) const {
    std::deque<std::string> parts = components(link);
    if (parts.empty()) return std::string();
    std::string name = parts.back();
    parts.pop_back();
    std::string above;
    if (!canonical("/" + joined(std::vector<std::string>(parts.begin(), parts.end())), &above)) return std::string();
    auto it = nodes_.find(above == "/" ? name : above.substr(1) + "/" + name);
    return it == nodes_.end() || it->second.kind != SysfsEntry::Kind::Link ? std::string() : it->second.content;
}

}  // namespace bench_tool
