// Objects a thread can wait on: events, thread handles, file handles. Each
// is signalled or not; a wait on an auto-reset object consumes the signal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/sim/io/handles.h"

namespace sim {

class Waitable : public HandleObject {
public:
    explicit Waitable(bool manualReset, bool signalled = false)
        : manualReset_(manualReset), signalled_(signalled) {}

    void signal();
    void reset();
    bool isSignalled();
    // True when the object was (or became) signalled within the time;
    // platform::kInfinite waits without limit.
    bool wait(uint32_t milliseconds);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    const bool manualReset_;
    bool signalled_;
};

}  // namespace sim
