#include "fuzz_environment.h"

#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/shared_words.h"
#include "platform/sim/control/sim_control.h"

namespace fuzz {
namespace {

struct Corner {
    std::string root;
    std::string shmName;
    std::string quietDrive, keyedDrive;
    std::string plainLibrary, infGuidLibrary;
};

Corner* corner = nullptr;

void removeCorner() {
    if (corner == nullptr || corner->root.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(corner->root, ignored);
    corner->root.clear();
}

std::string scratchBase() {
    std::error_code error;
    // Memory-backed when the system has it: a traced walk appends many lines.
    if (std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
    const char* temporary = std::getenv("TMPDIR");
    return temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

}  // namespace

void prepareEnvironment() {
    if (corner != nullptr) return;
    corner = new Corner;
    std::string pattern = scratchBase() + "/tamberlyx-fuzz-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        std::perror("tamberlyx fuzz: scratch directory");
        std::abort();
    }
    corner->root = pattern;
    corner->shmName = "/tamberlyx-fuzz-" + std::to_string(getpid());
    setenv("TAMBERLYX_SIM_SHM", corner->shmName.c_str(), 1);
    // The words stay mapped in this process, which is all that uses them;
    // their name can go at once.
    platform::traceWords();
    shm_unlink(corner->shmName.c_str());
    std::atexit(removeCorner);
    __sanitizer_set_death_callback(removeCorner);

    corner->quietDrive = corner->root + "/quiet";
    corner->keyedDrive = corner->root + "/keyed";
    std::filesystem::create_directories(corner->quietDrive);
    // The key names where the trace files go: a host path, used as given.
    writeFile(corner->keyedDrive + "/c/temp/tolvwinusbdebug.key", corner->root + "/trace/walk\n");
    std::filesystem::create_directories(corner->root + "/trace");

    corner->plainLibrary = corner->root + "/plain/libTamberlyx.so";
    corner->infGuidLibrary = corner->root + "/infguid/libTamberlyx.so";
    std::filesystem::create_directories(corner->root + "/plain");
    writeFile(corner->root + "/infguid/libTamberlyx.cfg", "useinfguid\n");

    selectTraceKey(false);
    selectUseInfGuid(false);
    sim::fixTickCount(0x00C0FFEE);
    sim::installMachine(sim::Machine());
}

void selectTraceKey(bool present) { sim::setDriveRoot(present ? corner->keyedDrive : corner->quietDrive); }

void removeEnvironment() { removeCorner(); }

void selectUseInfGuid(bool present) { sim::setModulePath(present ? corner->infGuidLibrary : corner->plainLibrary); }

}  // namespace fuzz
