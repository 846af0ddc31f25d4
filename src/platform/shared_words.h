// The two machine-wide words of the trace log: one counter and one flag
// seen by every process that has the library loaded.
#pragma once

#include <cstdint>

namespace platform {

struct TraceWords {
    int32_t fileCounter;
    int32_t enabled;
};

// Never null.
volatile TraceWords* traceWords();

}  // namespace platform
