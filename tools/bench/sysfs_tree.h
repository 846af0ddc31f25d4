// What the sysfs importer reads of a sysfs tree: directory listings, file
// bytes, link targets and resolved paths. A real tree answers from the file
// system; a tree held in memory answers the same questions from its nodes.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace bench_tool {

struct SysfsEntry {
    enum class Kind { File, Directory, Link, Other };
    std::string name;
    Kind kind = Kind::Other;
};

class SysfsTree {
public:
    virtual ~SysfsTree() = default;
    // The entries of a directory (links in the way followed); none when it
    // is not one.
    virtual std::vector<SysfsEntry> list(const std::string& directory) const = 0;
    // A regular file's bytes; false when it is not one, cannot be read, or
    // holds more than `most` bytes.
    virtual bool read(const std::string& file, size_t most, std::string* bytes) const = 0;
    // Where a link points, as it says it.
    virtual std::string linkTarget(const std::string& link) const = 0;
    // The absolute path with every link resolved; false when the path leads
    // nowhere (a missing entry, a loop of links).
    virtual bool canonical(const std::string& path, std::string* resolved) const = 0;
};

// The file system's own tree.
class FileSystemTree : public SysfsTree {
public:
    std::vector<SysfsEntry> list(const std::string& directory) const override;
    bool read(const std::string& file, size_t most, std::string* bytes) const override;
    std::string linkTarget(const std::string& link) const override;
    bool canonical(const std::string& path, std::string* resolved) const override;
};

// A tree of absolute paths held in memory; adding an entry makes the
// directories above it.
class MemoryTree : public SysfsTree {
public:
    void addDirectory(const std::string& path);
    void addFile(const std::string& path, const std::string& bytes);
    void addLink(const std::string& path, const std::string& target);

    std::vector<SysfsEntry> list(const std::string& directory) const override;
    bool read(const std::string& file, size_t most, std::string* bytes) const override;
    std::string linkTarget(const std::string& link) const override;
    bool canonical(const std::string& path, std::string* resolved) const override;

private:
    struct Node {
        SysfsEntry::Kind kind = SysfsEntry::Kind::Directory;
        std::string content;  // a file's bytes or a link's target
    };
    // Adds a node unless one is there; false when something else than a
    // directory stands where a directory must be.
    bool add(const std::string& path, const Node& node);
    // Keyed by path without its leading "/" ("" is the root).
    std::map<std::string, Node> nodes_{{"", Node{}}};
};

// The USB tree under ROOT/bus/usb/devices of the tree as a bench.
bool importSysfsTree(const SysfsTree& tree, const std::string& root, std::string* bench, std::string* error);

}  // namespace bench_tool
