#include "platform/sim/model/machine_store.h"

#include <utility>

namespace sim {

// Set by the life cycle's registration (life/machine_life.cpp). Taking its
// address links that registration into every program that uses the store:
// the simulated stack is a static archive, and nothing else need name it.
extern const bool kMachineLifeRegistered;

namespace {

[[gnu::used]] const bool* const kLinkMachineLife = &kMachineLifeRegistered;

MachineLife& registeredLife() {
    static MachineLife life;
    return life;
}

}  // namespace

StoredMachine& storedMachine() {
    static StoredMachine* store = new StoredMachine;  // lives as long as the process
    return *store;
}

void replaceStoredMachine(StoredMachine& store, Machine machine) {
    store.machine = std::move(machine);
    store.index.rebuild(store.machine);
    store.loaded = true;
}

void loadOnFirstUse(StoredMachine& store) {
    if (store.loaded) return;
    const MachineLife& life = registeredLife();
    replaceStoredMachine(store, life.firstMachine != nullptr ? life.firstMachine() : Machine());
}

LockedMachine::LockedMachine() : guard_(storedMachine().lock) { loadOnFirstUse(storedMachine()); }
Machine& LockedMachine::machine() { return storedMachine().machine; }
MachineIndex& LockedMachine::index() { return storedMachine().index; }

void registerMachineLife(const MachineLife& life) { registeredLife() = life; }

bool refreshMachineSource() {
    const MachineLife& life = registeredLife();
    return life.refreshSource != nullptr && life.refreshSource();
}

void watchMachineSource() {
    const MachineLife& life = registeredLife();
    if (life.watchSource != nullptr) life.watchSource();
}

}  // namespace sim
