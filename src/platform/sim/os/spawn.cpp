// Running a program and waiting for it, as _spawnv(_P_WAIT) does on Windows.
//
// The program path may be a drive path ("c:\tools\x.exe"), which is mapped
// into the simulated machine's directory, or a host path. Rule for
// companions: when the path ends in ".exe" and no file exists under it, the
// same path without ".exe" is tried, so that a shell script or a Linux
// program can stand beside the library under the name Windows would use.
//
// The child gets its arguments the way a Windows program does: the vector is
// joined with single blanks, without quoting, and split again by the C
// runtime's rules (blanks separate, double quotes group, backslashes escape
// quotes). A child killed by a signal reports 128 plus the signal number.
#include "platform/spawn.h"

#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

#if defined(__linux__)
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "platform/sim/control/faults.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/os/spawn_rules.h"

namespace sim {

std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> arguments;
    size_t i = 0, n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= n) break;
        std::string argument;
        bool quoted = false;
        while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    // 2n backslashes and a quote: n backslashes, the quote
                    // toggles; 2n+1: n backslashes and a literal quote.
                    argument.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                } else {
                    argument.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    argument += '"';  // "" inside quotes is a literal quote
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            argument += line[i++];
        }
        arguments.push_back(argument);
    }
    return arguments;
}

std::string joinArguments(const char* const* argv) {
    std::string line;
    for (size_t i = 0; argv != nullptr && argv[i] != nullptr; ++i) {
        if (i > 0) line += ' ';
        line += argv[i];
    }
    return line;
}

std::string companionHostPath(const std::string& path) {
    std::string host = hostPath(path);
#if defined(__linux__)
    struct stat info {};
    bool endsInExe = host.size() > 4 && [&] {
        std::string tail = host.substr(host.size() - 4);
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return tail == ".exe";
    }();
    if (endsInExe && stat(host.c_str(), &info) != 0) {
        std::string bare = host.substr(0, host.size() - 4);
        if (stat(bare.c_str(), &info) == 0) return bare;
    }
#endif
    return host;
}

}  // namespace sim

namespace platform {

intptr_t spawnAndWait(const char* path, const char* const* argv) {
    std::string line = sim::joinArguments(argv);
    if (sim::failHere("_spawnv", std::string(path == nullptr ? "(null)" : path) + " | " + line)) return -1;
    if (path == nullptr || argv == nullptr || argv[0] == nullptr) return -1;
#if defined(__linux__)
    std::string program = sim::companionHostPath(path);
    std::vector<std::string> arguments = sim::splitCommandLine(line);
    if (arguments.empty()) arguments.push_back(program);
    std::vector<char*> childArgv;
    for (std::string& a : arguments) childArgv.push_back(&a[0]);
    childArgv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, childArgv.data(), environ) != 0) return -1;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, 0);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
#else
    // No host programs can be run on this build of the simulated machine.
    return -1;
#endif
}

}  // namespace platform
