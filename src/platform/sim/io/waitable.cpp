#include "platform/sim/io/waitable.h"

#include "platform/types.h"

namespace sim {

void Waitable::signal() {
    std::lock_guard<std::mutex> guard(lock_);
    signalled_ = true;
    if (manualReset_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Waitable::reset() {
    std::lock_guard<std::mutex> guard(lock_);
    signalled_ = false;
}

bool Waitable::isSignalled() {
    std::lock_guard<std::mutex> guard(lock_);
    return signalled_;
}

bool Waitable::wait(uint32_t milliseconds) {
    std::unique_lock<std::mutex> guard(lock_);
    if (milliseconds == platform::kInfinite) {
        changed_.wait(guard, [this] { return signalled_; });
    } else {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        if (!changed_.wait_until(guard, deadline, [this] { return signalled_; })) return false;
    }
    if (!manualReset_) signalled_ = false;
    return true;
}

}  // namespace sim
