// The installed machine: the one machine every simulated service answers
// for, process-wide, with its index, behind one lock.
//
// Which machine that is and when it changes belongs to the machine's life
// cycle (life/), which sits above the services: it registers here the
// machine of first use and how the services ask for the machine's source
// (a bench file) to be looked at again, so that no service reaches up to it.
#pragma once

#include <mutex>

#include "platform/sim/model/machine.h"
#include "platform/sim/model/machine_index.h"

namespace sim {

struct StoredMachine {
    std::mutex lock;
    bool loaded = false;
    Machine machine;
    MachineIndex index;
};

// The store; it lives as long as the process.
StoredMachine& storedMachine();
// The one place where the machine is swapped; the lock is held.
void replaceStoredMachine(StoredMachine& store, Machine machine);
// Installs the machine of first use unless one is loaded; the lock is held.
void loadOnFirstUse(StoredMachine& store);

// The installed machine and its index, locked for as long as this lives.
class LockedMachine {
public:
    LockedMachine();
    Machine& machine();
    MachineIndex& index();

private:
    std::unique_lock<std::mutex> guard_;
};

// What the life cycle offers the services. Registered once, before main
// (or before the library's load returns); a missing function does nothing.
struct MachineLife {
    // The machine of first use; called with the store's lock held, so it
    // must not call platform operations.
    Machine (*firstMachine)() = nullptr;
    // Reads the machine's source again if it changed; true when that
    // replaced the machine.
    bool (*refreshSource)() = nullptr;
    // Looks at the source from now on while windows listen for device
    // notifications.
    void (*watchSource)() = nullptr;
};
void registerMachineLife(const MachineLife& life);

// For the services: SetupDiGetClassDevsW refreshes before it lists, so that
// a walk right after a rewritten bench sees the new machine;
// RegisterDeviceNotificationW starts the watch.
bool refreshMachineSource();
void watchMachineSource();

}  // namespace sim
