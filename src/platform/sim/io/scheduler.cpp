#include "platform/sim/io/scheduler.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

struct Scheduler {
    std::mutex lock;
    std::condition_variable changed;
    // Ordered by due time, then by id so that equal times run in order.
    std::map<std::pair<Clock::time_point, uint64_t>, std::function<void()>> due;
    uint64_t nextId = 1;
    bool started = false;

    void loop() {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            if (due.empty()) {
                changed.wait(guard);
                continue;
            }
            auto first = due.begin();
            if (Clock::now() < first->first.first) {
                changed.wait_until(guard, first->first.first);
                continue;
            }
            std::function<void()> work = std::move(first->second);
            due.erase(first);
            guard.unlock();
            work();
            guard.lock();
        }
    }
};

Scheduler& scheduler() {
    // Never destroyed: its thread runs until the process ends.
    static Scheduler* s = new Scheduler;
    return *s;
}

}  // namespace

uint64_t runLater(uint32_t milliseconds, std::function<void()> work) {
    Scheduler& s = scheduler();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.started) {
        s.started = true;
        std::thread([&s] { s.loop(); }).detach();
    }
    uint64_t id = s.nextId++;
    s.due.emplace(std::make_pair(Clock::now() + std::chrono::milliseconds(milliseconds), id), std::move(work));
    s.changed.notify_all();
    return id;
}

bool cancelLater(uint64_t id) {
    Scheduler& s = scheduler();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto it = s.due.begin(); it != s.due.end(); ++it) {
        if (it->first.second == id) {
            s.due.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace sim
