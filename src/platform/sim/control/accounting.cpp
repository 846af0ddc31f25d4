#include "platform/sim/control/accounting.h"

#include <sstream>

#include "platform/sim/control/sim_control.h"

namespace sim {

LiveCounters& liveCounters() {
    static LiveCounters counters;
    return counters;
}

bool Counts::operator==(const Counts& o) const {
    return heapBlocks == o.heapBlocks && crtBlocks == o.crtBlocks && handles == o.handles &&
           deviceInfoSets == o.deviceInfoSets && events == o.events && modules == o.modules &&
           threads == o.threads && windows == o.windows && notifications == o.notifications &&
           crtFiles == o.crtFiles && winUsbInterfaces == o.winUsbInterfaces;
}

Counts openCounts() {
    LiveCounters& c = liveCounters();
    Counts out;
    out.heapBlocks = c.heapBlocks;
    out.crtBlocks = c.crtBlocks;
    out.handles = c.handles;
    out.deviceInfoSets = c.deviceInfoSets;
    out.events = c.events;
    out.modules = c.modules;
    out.threads = c.threads;
    out.windows = c.windows;
    out.notifications = c.notifications;
    out.crtFiles = c.crtFiles;
    out.winUsbInterfaces = c.winUsbInterfaces;
    return out;
}

std::string describe(const Counts& c) {
    std::ostringstream s;
    s << "heapBlocks=" << c.heapBlocks << " crtBlocks=" << c.crtBlocks << " handles=" << c.handles
      << " deviceInfoSets=" << c.deviceInfoSets << " events=" << c.events << " modules=" << c.modules
      << " threads=" << c.threads << " windows=" << c.windows << " notifications=" << c.notifications
      << " crtFiles=" << c.crtFiles << " winUsbInterfaces=" << c.winUsbInterfaces;
    return s.str();
}

}  // namespace sim
