// Events and waits of the simulated machine.
#include <memory>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/io/event_object.h"

namespace sim {
namespace {

struct ForcedWaits {
    std::mutex lock;
    bool armed = false;
    uint32_t result = 0;
};

ForcedWaits& forcedWaits() {
    static ForcedWaits* f = new ForcedWaits;
    return *f;
}

std::string handleText(platform::Handle h) { return std::to_string(reinterpret_cast<uintptr_t>(h)); }

}  // namespace

void forceNextWaitResult(uint32_t waitResult) {
    std::lock_guard<std::mutex> guard(forcedWaits().lock);
    forcedWaits().armed = true;
    forcedWaits().result = waitResult;
}

}  // namespace sim

namespace platform {

Handle CreateEventW(void*, bool manualReset, bool initialState, const char16_t* name) {
    if (sim::failHere("CreateEventW")) return nullptr;
    if (name != nullptr) {
        // Named events are shared between processes; nothing here needs them.
        SetLastError(kErrorNotSupported);
        return nullptr;
    }
    SetLastError(kErrorSuccess);
    return sim::openHandle(std::make_shared<sim::EventObject>(manualReset, initialState));
}

bool SetEvent(Handle event) {
    if (sim::failHere("SetEvent", sim::handleText(event))) return false;
    auto object = sim::findHandleAs<sim::EventObject>(event);
    if (object == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    object->signal();
    return true;
}

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
    if (sim::failHere("WaitForSingleObject", sim::handleText(object) + " " + std::to_string(milliseconds)))
        return kWaitFailed;
    auto waitable = sim::findHandleAs<sim::Waitable>(object);
    if (waitable == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return kWaitFailed;
    }
    {
        sim::ForcedWaits& forced = sim::forcedWaits();
        std::lock_guard<std::mutex> guard(forced.lock);
        if (forced.armed) {
            forced.armed = false;
            return forced.result;
        }
    }
    return waitable->wait(milliseconds) ? kWaitObject0 : kWaitTimeout;
}

}  // namespace platform
