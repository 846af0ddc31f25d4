#include "platform/sim/life/host_settings.h"

#include <cstdlib>
#include <mutex>

namespace sim {
namespace {

constexpr int kSettings = 3;

struct Properties {
    std::mutex lock;
    std::string values[kSettings];
};

Properties& properties() {
    static Properties* p = new Properties;
    return *p;
}

int slot(HostSetting setting) { return static_cast<int>(setting); }

}  // namespace

const char* hostSettingProperty(HostSetting setting) {
    static const char* const names[kSettings] = {"tamberlyx.bench", "tamberlyx.sim.root", "tamberlyx.sim.shm"};
    return names[slot(setting)];
}

const char* hostSettingVariable(HostSetting setting) {
    static const char* const names[kSettings] = {"TAMBERLYX_BENCH", "TAMBERLYX_SIM_ROOT", "TAMBERLYX_SIM_SHM"};
    return names[slot(setting)];
}

void setHostSettingProperty(HostSetting setting, const std::string& value) {
    std::lock_guard<std::mutex> guard(properties().lock);
    properties().values[slot(setting)] = value;
}

std::string hostSetting(HostSetting setting) {
    {
        std::lock_guard<std::mutex> guard(properties().lock);
        const std::string& property = properties().values[slot(setting)];
        if (!property.empty()) return property;
    }
    const char* variable = std::getenv(hostSettingVariable(setting));
    return variable == nullptr ? std::string() : std::string(variable);
}

}  // namespace sim
