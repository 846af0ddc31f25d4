// Where the simulated machine keeps its drives, and where the library's own
// module lies.
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string>

#if defined(__linux__)
#include <dlfcn.h>
#endif

#include "platform/sim/sim.h"

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

std::string defaultDriveRoot() {
    if (const char* root = std::getenv("TAMBERLYX_SIM_ROOT"); root != nullptr && *root != '\0') return root;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    return base + "/tamberlyx-sim";
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
    // "c:\temp\x" or "C:/temp/x": a drive letter, a colon and a separator.
    bool drivePath = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                     (path[2] == '\\' || path[2] == '/');
    if (!drivePath) {
        std::string out = path;
        for (char& c : out)
            if (c == '\\') c = '/';
        return out;
    }
    std::string out = driveRoot() + "/" + static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    for (size_t i = 2; i < path.size(); ++i) out += path[i] == '\\' ? '/' : path[i];
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
