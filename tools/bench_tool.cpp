// tamberlyx_bench: the simulated machine's bench files from the command line.
//
//   tamberlyx_bench builtin       writes the built-in bench to standard output
//   tamberlyx_bench check FILE    reads FILE as the simulated machine would;
//                                 prints what it holds, or the one-line reason
//                                 it is refused (exit status 1)
//
// The demo uses it to start from a file it can rewrite, and to refuse a bad
// bench with a clear message before any JVM starts.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/sim/bench.h"
#include "platform/sim/machine.h"

namespace {

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

int usage() {
    std::fprintf(stderr, "usage: tamberlyx_bench builtin | tamberlyx_bench check FILE\n");
    return 2;
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
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "builtin") == 0) {
        const std::string& text = sim::defaultBenchText();
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
    return usage();
}
