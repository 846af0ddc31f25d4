// Counters behind sim::openCounts(), shared by the simulated services.
#pragma once

#include <atomic>
#include <cstdint>

namespace sim {

struct LiveCounters {
    std::atomic<int64_t> heapBlocks{0};
    std::atomic<int64_t> crtBlocks{0};
    std::atomic<int64_t> handles{0};
    std::atomic<int64_t> deviceInfoSets{0};
    std::atomic<int64_t> events{0};
    std::atomic<int64_t> modules{0};
    std::atomic<int64_t> threads{0};
    std::atomic<int64_t> windows{0};
    std::atomic<int64_t> notifications{0};
    std::atomic<int64_t> crtFiles{0};
    std::atomic<int64_t> winUsbInterfaces{0};
};

LiveCounters& liveCounters();

}  // namespace sim
