// The companion program the device-change monitor runs, as the tests use
// it: it appends one line per run to the file named by the environment
// variable TAMBERLYX_COMPANION_LOG, "<argument count> <first argument>", so
// that a test sees how often it ran and with exactly which arguments. With
// TAMBERLYX_COMPANION_HOLD_MS set it then runs that much longer, as a slow
// companion does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* logPath = std::getenv("TAMBERLYX_COMPANION_LOG");
    if (logPath == nullptr) return 2;
    std::FILE* log = std::fopen(logPath, "a");
    if (log == nullptr) return 3;
    std::fprintf(log, "%d %s\n", argc, argc >= 2 ? argv[1] : "-");
    if (std::fclose(log) != 0) return 4;
    if (const char* hold = std::getenv("TAMBERLYX_COMPANION_HOLD_MS")) Sleep(std::strtoul(hold, nullptr, 10));
    return 0;
}
