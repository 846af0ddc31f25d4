// The devices both sides of the SetupAPI comparison hold: registered in the
// system's SetupAPI by one program, built into a simulated machine by the
// other. A member left empty is a property the device does not have.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace setupdiff {

struct TestDevice {
    std::string instanceId;  // upper case, as the system keeps it
    std::string driverKey;
    std::optional<std::string> description;
    std::vector<std::string> hardwareIds;
    std::optional<std::string> service;
    std::optional<std::string> setupClass;
    bool fixedClassInterface = false;
};

// A setup class of the comparison's own, so that nothing else on the
// machine is of it.
constexpr platform::Guid kTestSetupClass = {
    0x7A3B1D55, 0x0C4E, 0x4F21, {0x9A, 0x3E, 0x5D, 0x1F, 0x00, 0xC0, 0xD1, 0xFF}};

const std::vector<TestDevice>& testDevices();

// The path the system forms for a device's fixed-class interface: the
// instance id with '\' as '#', then the class, all in lower case.
std::string fixedClassInterfacePath(const TestDevice& device);

// Runs the walk's SetupAPI steps through the platform functions and
// returns one line per answer, in an order that does not depend on the
// order in which the system lists devices.
std::string runSteps(uint32_t interfaceFlags);

}  // namespace setupdiff
