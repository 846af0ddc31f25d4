// Where the simulated machine keeps its drives, and where the library's own
// module lies.
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#if defined(__linux__)
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/sim/control/sim_control.h"
#include "platform/sim/life/host_settings.h"

namespace sim {
namespace {

struct PathState {
    std::mutex lock;
    std::string driveRoot;
    std::string modulePath;
};

PathState& state() {
    static PathState* s = new PathState;
    return *s;
}

#if defined(__linux__)
// A directory of this user's that nobody else may write: made with mode
// 0700 when missing, refused when it is a link, another user's, or open to
// others (another user could then plant a trace key file or a companion).
bool privateDirectory(const std::string& path) {
    mkdir(path.c_str(), 0700);
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & 077) == 0;
}
#endif

std::string defaultDriveRoot() {
    std::string chosen = hostSetting(HostSetting::DriveRoot);
    if (!chosen.empty()) return chosen;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
#if defined(__linux__)
    // Per user, private; when that name is taken, a fresh directory nobody
    // else can have made.
    std::string own = base + "/tamberlyx-sim-" + std::to_string(geteuid());
    if (privateDirectory(own)) return own;
    std::vector<char> fresh(own.begin(), own.end());
    for (char c : std::string("-XXXXXX")) fresh.push_back(c);
    fresh.push_back('\0');
    if (mkdtemp(fresh.data()) != nullptr) return fresh.data();
    // No private directory could be had: a root under which nothing opens
    // (a path below a file), so no key file is read and nothing is written.
    return "/dev/null/tamberlyx-sim";
#else
    return base + "/tamberlyx-sim";
#endif
}

// The path's parts after the root, with "." dropped and ".." taking one
// back but never above the root.
std::vector<std::string> confinedParts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : path) {
        if (c == '\\' || c == '/') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    return parts;
}

bool isDrivePath(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// The directory the library was loaded from ("" when unknown), with a
// separator at its end.
std::string moduleDirectory(const std::string& module) {
    size_t cut = module.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : module.substr(0, cut + 1);
}

std::string loadedFromPath() {
#if defined(__linux__)
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&defaultDriveRoot), &info) != 0 && info.dli_fname != nullptr)
        return info.dli_fname;
#endif
    return "Tamberlyx.dll";
}

}  // namespace

void setDriveRoot(const std::string& directory) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().driveRoot = directory;
}

std::string driveRoot() {
    std::lock_guard<std::mutex> guard(state().lock);
    if (state().driveRoot.empty()) state().driveRoot = defaultDriveRoot();
    return state().driveRoot;
}

std::string hostPath(const std::string& path) {
    // The library's own files (the configuration file and the companion
    // program beside it) lie where the host loaded it from.
    std::string beside = isDrivePath(path) ? std::string() : moduleDirectory(modulePath());
    bool climbs = path.find("..") != std::string::npos;
    if (!beside.empty() && !climbs && path.compare(0, beside.size(), beside) == 0) return path;
    // Everything else is on a drive of the simulated machine and never
    // leaves its root, whatever a file the library read says: "c:\temp\x"
    // is <root>/c/temp/x, and a path without a drive letter is on drive c,
    // whose root is the simulated process's current directory.
    char drive = isDrivePath(path) ? static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))) : 'c';
    std::string out = driveRoot() + "/" + drive;
    for (const std::string& part : confinedParts(isDrivePath(path) ? path.substr(2) : path)) out += "/" + part;
    return out;
}

void setModulePath(const std::string& path) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().modulePath = path;
}

std::string modulePath() {
    std::lock_guard<std::mutex> guard(state().lock);
    if (state().modulePath.empty()) state().modulePath = loadedFromPath();
    return state().modulePath;
}

}  // namespace sim
