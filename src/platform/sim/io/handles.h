// The simulated handle table: every handle the library is given (files,
// devices, events, threads) names one object here until CloseHandle.
#pragma once

#include <memory>

#include "platform/types.h"

namespace sim {

struct HandleObject {
    virtual ~HandleObject() = default;
    // Called once when the last handle to the object is closed.
    virtual void onClose() {}
};

platform::Handle openHandle(std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> findHandle(platform::Handle handle);
template <typename T>
std::shared_ptr<T> findHandleAs(platform::Handle handle) {
    return std::dynamic_pointer_cast<T>(findHandle(handle));
}
// False (last error kErrorInvalidHandle) for a handle that is not open.
bool closeHandle(platform::Handle handle);

}  // namespace sim
