// Finding the companion beside the library and running it.
#include "monitor/companion.h"

#include <cstring>

#include "monitor/companion_path.h"
#include "platform/kernel.h"
#include "platform/spawn.h"

namespace DeviceChangeMonitor {
namespace {

constexpr char kDefaultCompanionPath[] = "C:\\etc\\.kestra_ide\\tolvwinusbdevice64.exe";
constexpr char kDefaultCompanionProgram[] = "C:\\etc\\.kestra_ide\\tolvwinusbdevice64";
constexpr char kLibraryModuleName[] = "Tamberlyx.dll";

// The library's path is read into a 512-character buffer of which 510 are
// offered to the system.
constexpr size_t kModulePathBufferSize = 512;
constexpr uint32_t kModulePathReadSize = 510;

}  // namespace

void useDefaultCompanion(CompanionCommand& command) {
    std::memcpy(command.path, kDefaultCompanionPath, sizeof(kDefaultCompanionPath));
    std::memcpy(command.program, kDefaultCompanionProgram, sizeof(kDefaultCompanionProgram));
}

void locateCompanionBesideLibrary(CompanionCommand& command) {
    platform::Module library = platform::GetModuleHandleA(kLibraryModuleName);
    if (library == nullptr) return;
    char modulePath[kModulePathBufferSize] = {};
    uint32_t length = platform::GetModuleFileNameA(library, modulePath, kModulePathReadSize);
    // A length that fills the whole offered size means the path was cut
    // short; a cut path names the wrong directory.
    if (length == 0 || length >= kModulePathReadSize) return;

    CompanionCommand located;
    if (!companionPathBeside(modulePath, length, located.path, sizeof(located.path))) return;
    if (!programArgument(located.path, located.program, sizeof(located.program))) return;
    command = located;
}

intptr_t runCompanion(const CompanionCommand& command, const char* action) {
    const char* arguments[] = {command.program, action, nullptr};
    return platform::spawnAndWait(command.path, arguments);
}

}  // namespace DeviceChangeMonitor
