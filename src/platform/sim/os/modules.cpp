// Library loading on the simulated machine. The one module it has is
// "winusb.dll", whose entry points drive the simulated WinUSB devices.
#include "platform/sim/control/sim_control.h"

#include <cctype>
#include <map>
#include <mutex>
#include <set>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/model/machine_index.h"
#include "platform/sim/model/machine_store.h"
#include "platform/sim/os/winusb_entry_points.h"

namespace sim {
namespace {

struct ModuleRecord {
    uintptr_t handle;
    std::map<std::string, void*> entryPoints;
    bool available = true;
    std::set<std::string> hidden;
    int references = 0;
};

struct ModuleTable {
    std::mutex lock;
    std::map<std::string, ModuleRecord> modules;  // by lower-case file name
};

ModuleTable& table() {
    static ModuleTable* t = [] {
        auto* made = new ModuleTable;
        ModuleRecord winusb;
        winusb.handle = 0x7B100000;
        for (const auto& entry : winUsbEntryPoints()) winusb.entryPoints[entry.first] = entry.second;
        made->modules["winusb.dll"] = winusb;
        return made;
    }();
    return *t;
}

// "C:\Windows\System32\WINUSB" and "winusb.dll" name the same module: the
// directory is dropped, and a name without extension gets ".dll".
std::string moduleKey(const std::string& name) {
    size_t slash = name.find_last_of("\\/");
    std::string key = slash == std::string::npos ? name : name.substr(slash + 1);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key.find('.') == std::string::npos) key += ".dll";
    return key;
}

// What the installed machine says of "winusb.dll" (its only module).
WinUsbLibrary libraryOfMachine(const std::string& key) {
    if (key != "winusb.dll") return WinUsbLibrary();
    LockedMachine locked;
    return locked.machine().winUsbLibrary;
}

bool listed(const std::vector<std::string>& names, const char* name) {
    for (const std::string& n : names)
        if (n == name) return true;
    return false;
}

ModuleRecord* loadedByHandle(ModuleTable& t, platform::Module module) {
    for (auto& entry : t.modules)
        if (entry.second.handle == reinterpret_cast<uintptr_t>(module) && entry.second.references > 0)
            return &entry.second;
    return nullptr;
}

}  // namespace

platform::Module loadedModuleNamed(const char* name) {
    if (name == nullptr) return nullptr;
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.modules.find(moduleKey(name));
    if (it == t.modules.end() || it->second.references == 0) return nullptr;
    return reinterpret_cast<platform::Module>(it->second.handle);
}

void setModuleAvailable(const std::string& module, bool available) {
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.modules.find(moduleKey(module));
    if (it != t.modules.end()) it->second.available = available;
}

void setEntryPointAvailable(const std::string& module, const std::string& entryPoint, bool available) {
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.modules.find(moduleKey(module));
    if (it == t.modules.end()) return;
    if (available)
        it->second.hidden.erase(entryPoint);
    else
        it->second.hidden.insert(entryPoint);
}

void restoreModules() {
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto& entry : t.modules) {
        entry.second.available = true;
        entry.second.hidden.clear();
    }
}

int moduleReferences(const std::string& module) {
    ModuleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.modules.find(moduleKey(module));
    return it == t.modules.end() ? 0 : it->second.references;
}

}  // namespace sim

namespace platform {

Module LoadLibraryA(const char* name) {
    if (sim::failHere("LoadLibraryA", name == nullptr ? "(null)" : name)) return nullptr;
    if (name == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    std::string key = sim::moduleKey(name);
    bool presentOnMachine = sim::libraryOfMachine(key).present;
    sim::ModuleTable& t = sim::table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.modules.find(key);
    if (it == t.modules.end() ||
        ((!it->second.available || !presentOnMachine) && it->second.references == 0)) {
        SetLastError(kErrorModNotFound);
        return nullptr;
    }
    ++it->second.references;
    ++sim::liveCounters().modules;
    return reinterpret_cast<Module>(it->second.handle);
}

void* GetProcAddress(Module module, const char* name) {
    // Names below 0x10000 are ordinals, which this machine does not export.
    bool byName = reinterpret_cast<uintptr_t>(name) >= 0x10000;
    if (sim::failHere("GetProcAddress", byName ? name : "(ordinal)")) return nullptr;
    std::vector<std::string> missing = sim::libraryOfMachine("winusb.dll").missingEntryPoints;
    sim::ModuleTable& t = sim::table();
    std::lock_guard<std::mutex> guard(t.lock);
    sim::ModuleRecord* record = sim::loadedByHandle(t, module);
    if (record == nullptr) {
        SetLastError(module == nullptr ? kErrorModNotFound : kErrorInvalidHandle);
        return nullptr;
    }
    if (!byName || record->hidden.count(name) != 0 || record->entryPoints.count(name) == 0 ||
        (record->handle == t.modules["winusb.dll"].handle && sim::listed(missing, name))) {
        SetLastError(kErrorProcNotFound);
        return nullptr;
    }
    return record->entryPoints[name];
}

bool FreeLibrary(Module module) {
    if (sim::failHere("FreeLibrary")) return false;
    sim::ModuleTable& t = sim::table();
    std::lock_guard<std::mutex> guard(t.lock);
    sim::ModuleRecord* record = sim::loadedByHandle(t, module);
    if (record == nullptr) {
        SetLastError(kErrorModNotFound);
        return false;
    }
    --record->references;
    --sim::liveCounters().modules;
    return true;
}

}  // namespace platform
