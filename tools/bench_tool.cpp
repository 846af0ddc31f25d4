// tamberlyx_bench: bench files from the command line.
//
//   tamberlyx_bench capture [--mask-serials]   the machine it runs on, as a bench
//   tamberlyx_bench import-sysfs [ROOT]        a Linux machine's USB tree (default /sys)
//   tamberlyx_bench import-umockdev FILE       a recording of Linux devices, as a bench
//   tamberlyx_bench builtin                    the built-in bench (Linux build)
//   tamberlyx_bench check FILE                 reads FILE as the simulated machine
//                                              would; what it holds and a warning for
//                                              each device the library will not list,
//                                              or the one-line reason it is refused
//                                              (Linux build)
//   tamberlyx_bench show [--vendor VID] FILE   the bench as a tree, with what the
//                                              library lists for each device (Linux build)
//
// Benches go to standard output. The demo uses builtin and check to start
// from a file it can rewrite, and to refuse a bad bench before any JVM starts.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/bench/bench_writer.h"
#include "tools/bench/linux_import.h"
#include "tools/bench/machine_capture.h"
#include "tools/bench/serial_mask.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <cstdlib>

#include "platform/sim/model/bench.h"
#include "tools/bench_show.h"
#endif

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: tamberlyx_bench capture [--mask-serials]\n"
                 "       tamberlyx_bench import-sysfs [ROOT]\n"
                 "       tamberlyx_bench import-umockdev FILE\n"
#ifndef _WIN32
                 "       tamberlyx_bench builtin\n"
                 "       tamberlyx_bench check FILE\n"
                 "       tamberlyx_bench show [--vendor VID] FILE\n"
#endif
    );
    return 2;
}

int writeOut(const std::string& text) { return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1; }

int capture(bool maskSerials) {
    sim::Machine machine = bench_tool::captureMachine();
    if (maskSerials) bench_tool::maskSerials(&machine);
    return writeOut(bench_tool::writeBench(machine));
}

int import(bool fromSysfs, const std::string& source) {
    std::string bench, error;
    bool ok = fromSysfs ? bench_tool::importSysfs(source, &bench, &error)
                        : bench_tool::importUmockdev(source, &bench, &error);
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return writeOut(bench);
}

#ifndef _WIN32
struct Census {
    int controllers = 0;
    int hubs = 0;
    int devices = 0;  // everything on a port that is not a hub
};

void countPorts(const std::vector<sim::Port>& ports, Census* census) {
    for (const sim::Port& port : ports) {
        if (!port.device) continue;
        if (port.device->isHub) {
            ++census->hubs;
            countPorts(port.device->hub.ports, census);
        } else {
            ++census->devices;
        }
    }
}

int check(const char* path) {
    sim::Machine machine;
    std::string error;
    if (!sim::loadBenchFile(path, &machine, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    Census census;
    for (const sim::HostController& controller : machine.controllers) {
        ++census.controllers;
        countPorts(controller.rootHub.ports, &census);
    }
    std::printf("%s: %d host controller(s), %d external hub(s), %d device(s)\n", path, census.controllers,
                census.hubs, census.devices);
    return showBench(path, -1, true);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Benches are written byte for byte, without line-end conversion.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::string command = argc >= 2 ? argv[1] : "";
    if (command == "capture" && argc == 2) return capture(false);
    if (command == "capture" && argc == 3 && std::strcmp(argv[2], "--mask-serials") == 0) return capture(true);
    if (command == "import-sysfs" && argc <= 3) return import(true, argc == 3 ? argv[2] : "/sys");
    if (command == "import-umockdev" && argc == 3) return import(false, argv[2]);
#ifndef _WIN32
    if (command == "builtin" && argc == 2) return writeOut(sim::defaultBenchText());
    if (command == "check" && argc == 3) return check(argv[2]);
    if (command == "show" && argc == 3) return showBench(argv[2], -1);
    if (command == "show" && argc == 5 && std::strcmp(argv[2], "--vendor") == 0) {
        char* end = nullptr;
        unsigned long vendor = std::strtoul(argv[3], &end, 16);
        if (end == argv[3] || *end != '\0' || vendor > 0xFFFF) return usage();
        return showBench(argv[4], static_cast<int>(vendor));
    }
#endif
    return usage();
}
