// Running a program and waiting for it to end.
#pragma once

#include <cstdint>

namespace platform {

// _spawnv(_P_WAIT, path, argv): the child's exit code, or -1 when it cannot
// be started. argv ends with a null entry.
intptr_t spawnAndWait(const char* path, const char* const* argv);

}  // namespace platform
