// Reads a bench file as the simulated machine would: exit status 0 when it
// is accepted, 1 with the reason when it is refused.
#include <cstdio>
#include <string>

#include "platform/sim/model/bench.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    sim::Machine machine;
    std::string error;
    if (!sim::loadBenchFile(argv[1], &machine, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu host controller(s), %zu other device(s)\n", argv[1], machine.controllers.size(),
                machine.otherDevices.size());
    return 0;
}
