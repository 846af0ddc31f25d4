// What the host tells the simulated machine: the bench file, the directory
// of its drives and the name of its shared words. A Java program gives them
// as system properties (read when the JVM loads the library), anyone else as
// environment variables; a property wins over its variable.
#pragma once

#include <string>

namespace sim {

enum class HostSetting {
    BenchFile,          // tamberlyx.bench, TAMBERLYX_BENCH
    DriveRoot,          // tamberlyx.sim.root, TAMBERLYX_SIM_ROOT
    SharedWordsName,    // tamberlyx.sim.shm, TAMBERLYX_SIM_SHM
};

// The setting's value, "" when neither the property nor the variable is set.
std::string hostSetting(HostSetting setting);

// The Java system property and the environment variable of a setting.
const char* hostSettingProperty(HostSetting setting);
const char* hostSettingVariable(HostSetting setting);

// Records a system property's value (the JVM's, read at load).
void setHostSettingProperty(HostSetting setting, const std::string& value);

}  // namespace sim
