// Threads of the simulated machine: real threads, counted while they run,
// whose handles are signalled when they end.
#include <atomic>
#include <memory>
#include <thread>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/io/waitable.h"

namespace sim {
namespace {

struct ThreadObject : Waitable {
    ThreadObject() : Waitable(true) {}
};

}  // namespace
}  // namespace sim

namespace platform {

Handle CreateThread(void*, size_t, ThreadRoutine routine, void* parameter, uint32_t, uint32_t* threadId) {
    // A fault rule on "CreateThread" makes creation fail with its error.
    if (sim::failHere("CreateThread")) return nullptr;
    if (routine == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    static std::atomic<uint32_t> nextId{0x100};
    uint32_t id = nextId.fetch_add(4);
    if (threadId != nullptr) *threadId = id;
    auto object = std::make_shared<sim::ThreadObject>();
    Handle handle = sim::openHandle(object);
    ++sim::liveCounters().threads;
    std::thread([routine, parameter, object] {
        routine(parameter);
        --sim::liveCounters().threads;
        object->signal();
    }).detach();
    return handle;
}

}  // namespace platform
