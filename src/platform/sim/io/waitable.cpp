#include "platform/sim/io/waitable.h"

#include "platform/sim/control/accounting.h"
#include "platform/sim/io/overlapped_io.h"
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

EventObject::EventObject(bool manualReset, bool signalled) : Waitable(manualReset, signalled) {
    ++liveCounters().events;
}

void EventObject::onClose() {
    --liveCounters().events;
    // A request still pending would signal this event and write into the
    // memory its owner handed over: that owner has let go too early.
    orphanRequestsSignalling(this);
}

}  // namespace sim
