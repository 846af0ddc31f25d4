// The simulated machine's own timer thread: runs work at a later time, on
// a thread other than the caller's, the way a device or a driver completes
// a request while the program goes on.
#pragma once

#include <cstdint>
#include <functional>

namespace sim {

// Runs work after the given milliseconds; returns an id for cancelLater.
uint64_t runLater(uint32_t milliseconds, std::function<void()> work);
// False when the work has already started or was never scheduled.
bool cancelLater(uint64_t id);

}  // namespace sim
