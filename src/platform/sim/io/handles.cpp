#include "platform/sim/io/handles.h"

#include <mutex>
#include <set>
#include <unordered_map>

#include "platform/files.h"
#include "platform/sim/control/accounting.h"
#include "platform/usb_requests.h"

namespace sim {
namespace {

struct HandleTable {
    std::mutex lock;
    uintptr_t nextValue = 0x1000;
    std::set<uintptr_t> freed;  // values of closed handles, to be given out again
    std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects;
};

HandleTable& table() {
    static HandleTable* t = new HandleTable;  // lives as long as the process
    return *t;
}

}  // namespace

platform::Handle openHandle(std::shared_ptr<HandleObject> object) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    // Multiples of four, never -1 or 0; the lowest free slot of the table is
    // taken first, so a closed handle's value soon names another object
    // (Wine server/handle.c alloc_entry).
    uintptr_t value;
    if (!t.freed.empty()) {
        value = *t.freed.begin();
        t.freed.erase(t.freed.begin());
    } else {
        value = t.nextValue;
        t.nextValue += 4;
    }
    t.objects.emplace(value, std::move(object));
    ++liveCounters().handles;
    return reinterpret_cast<platform::Handle>(value);
}

std::shared_ptr<HandleObject> findHandle(platform::Handle handle) {
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool closeHandle(platform::Handle handle) {
    std::shared_ptr<HandleObject> object;
    {
        HandleTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == t.objects.end()) {
            platform::SetLastError(platform::kErrorInvalidHandle);
            return false;
        }
        object = std::move(it->second);
        t.objects.erase(it);
        t.freed.insert(reinterpret_cast<uintptr_t>(handle));
    }
    --liveCounters().handles;
    object->onClose();
    return true;
}

}  // namespace sim

namespace platform {

bool CloseHandle(Handle handle) { return sim::closeHandle(handle); }

}  // namespace platform
