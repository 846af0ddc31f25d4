// The single process-wide access handle: -1 while no initialisation is in
// force, 0 while one is.
#pragma once

#include <cstdint>

extern int32_t accessHandle;
