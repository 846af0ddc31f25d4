// Fault injection as the simulated services meet it: every simulated
// platform call records itself in the call journal and asks failHere()
// whether it is to fail (the rules are set through sim_control.h).
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Records the call and returns true when a fault rule hits it; the caller
// then fails the call with faultError() as its last error.
bool failHere(const char* operation, const std::string& arguments = std::string());
uint32_t faultError();

}  // namespace sim
