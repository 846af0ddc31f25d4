#include <cstdio>
#include <mutex>

#include "platform/sim/control/misuse.h"
#include "platform/sim/control/sim_control.h"

namespace sim {
namespace {

struct MisuseLog {
    std::mutex lock;
    std::vector<std::string> reports;
};

MisuseLog& log() {
    static MisuseLog* l = new MisuseLog;
    return *l;
}

}  // namespace

void reportMisuse(const std::string& what) {
    std::fprintf(stderr, "simulated machine: misuse: %s\n", what.c_str());
    std::lock_guard<std::mutex> guard(log().lock);
    log().reports.push_back(what);
}

std::vector<std::string> misuseReports() {
    std::lock_guard<std::mutex> guard(log().lock);
    return log().reports;
}

void clearMisuseReports() {
    std::lock_guard<std::mutex> guard(log().lock);
    log().reports.clear();
}

}  // namespace sim
