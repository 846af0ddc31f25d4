// Control surface of the simulated machine's files, overlapped I/O and
// waits, for tests and tools. The library itself sees only platform/files.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Misuse of the platform that Windows would not report but that corrupts a
// program or leaks: an event closed while an overlapped request that
// signals it is still pending, a WinUSB entry point called after its module
// was released, a file closed under a live WinUSB interface... Each report
// is a readable sentence; tests assert that none was made.
void reportMisuse(const std::string& what);
std::vector<std::string> misuseReports();
void clearMisuseReports();

// The next WaitForSingleObject returns this value without waiting (for
// example 0x80, WAIT_ABANDONED), once.
void forceNextWaitResult(uint32_t waitResult);

// Overlapped requests issued and not yet ended, on all files.
size_t pendingRequests();

}  // namespace sim
