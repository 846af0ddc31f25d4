// The companion program the device-change monitor runs, as the tests use
// it: it appends one line per run to the file named by the environment
// variable TAMBERLYX_COMPANION_LOG, "<argument count> <first argument>", so
// that a test sees how often it ran and with exactly which arguments.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* logPath = std::getenv("TAMBERLYX_COMPANION_LOG");
    if (logPath == nullptr) return 2;
    std::FILE* log = std::fopen(logPath, "a");
    if (log == nullptr) return 3;
    std::fprintf(log, "%d %s\n", argc, argc >= 2 ? argv[1] : "-");
    return std::fclose(log) == 0 ? 0 : 4;
}
