// Running a program and waiting for it to end, through the C runtime.
#include "platform/spawn.h"

#include <process.h>

namespace platform {

intptr_t spawnAndWait(const char* path, const char* const* argv) { return ::_spawnv(_P_WAIT, path, argv); }

}  // namespace platform
