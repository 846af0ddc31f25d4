// Plugging and unplugging devices while a program runs, and the watch on
// the bench file (the operations tests use are in control/sim_control.h).
#pragma once

namespace sim {

// Starts the thread that looks at the bench file while windows listen for
// device notifications (RegisterDeviceNotificationW asks for it).
void startBenchWatch();

}  // namespace sim
