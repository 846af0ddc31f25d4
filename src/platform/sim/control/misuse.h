// Reports of misuse of the platform that Windows would not report but that
// corrupts a program or leaks (tests read them through sim_control.h).
#pragma once

#include <string>

namespace sim {

// Records one readable sentence saying what was misused.
void reportMisuse(const std::string& what);

}  // namespace sim
