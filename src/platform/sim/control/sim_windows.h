// Control surface of the simulated machine's windowing: window classes,
// device-change broadcasts, and waiting until they have been handled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/types.h"

namespace sim {

// Forgets every registered window class; windows already made keep their
// procedure. Lets tests register the same class in turn.
void forgetWindowClasses();

// WM_DEVICECHANGE with the event (DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE)
// and a DEV_BROADCAST_DEVICEINTERFACE_W naming the interface, to every
// window registered for that interface class (or for all classes). The
// messages are queued to the windows' threads as the system does, ahead of
// posted messages; the caller does not wait. Returns the number queued.
size_t broadcastDeviceInterfaceChange(uint32_t event, const platform::Guid& interfaceClass,
                                      const std::string& interfacePath);
// WM_DEVICECHANGE with DBT_DEVNODES_CHANGED to every top-level window,
// registered or not, as the system sends on any change of devices.
size_t broadcastDevNodesChanged();
// True when every broadcast queued so far has been handled by its window
// (or dropped with it) within the time.
bool waitForBroadcastsHandled(uint32_t milliseconds);
// Device-notification registrations for windows that still exist.
size_t liveNotificationRegistrations();

}  // namespace sim
