// A second process for the tests of the machine-wide trace words: over the
// given drive root it opens the trace the given number of times, writing a
// line into each file, and then leaves tracing on ("keep") or switches it
// off ("disable"). The words are found by the name in TAMBERLYX_SIM_SHM,
// inherited from the test.
#include <cstdlib>
#include <cstring>

#include "platform/sim/control/sim_control.h"
#include "trace/trace_log.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    sim::setDriveRoot(argv[1]);
    int opens = std::atoi(argv[2]);
    for (int i = 0; i < opens; ++i) {
        TraceLog::open();
        TraceLog::writeLine("helper");
    }
    if (std::strcmp(argv[3], "disable") == 0) TraceLog::disable();
    return 0;
}
