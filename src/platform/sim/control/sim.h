// The simulated Windows machine: what tests, the JVM and the demo see in
// place of a real Windows USB stack. This header is the control surface
// for tests and tools; the library itself only sees the platform headers.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// What the library holds of the machine right now. A test takes a snapshot
// before an operation and asserts that the same counts come back after it.
struct Counts {
    int64_t heapBlocks = 0;      // process-heap blocks not yet freed
    int64_t crtBlocks = 0;       // C-runtime allocations not yet freed
    int64_t handles = 0;         // open file, device, event and thread handles
    int64_t deviceInfoSets = 0;  // SetupAPI sets not yet destroyed
    int64_t events = 0;          // events not yet closed (also counted in handles)
    int64_t modules = 0;         // LoadLibraryA references not yet released
    int64_t threads = 0;         // threads created and still running
    int64_t windows = 0;         // windows not yet destroyed
    int64_t notifications = 0;   // device-notification registrations not yet undone
    int64_t crtFiles = 0;        // C-runtime streams not yet closed
    int64_t winUsbInterfaces = 0;  // WinUsb_Initialize handles not yet given to WinUsb_Free

    bool operator==(const Counts& o) const;
    bool operator!=(const Counts& o) const { return !(*this == o); }
};
Counts openCounts();
std::string describe(const Counts& counts);

// Where drive paths ("c:\temp\x.key" becomes <root>/c/temp/x.key) lead.
// Defaults to $TAMBERLYX_SIM_ROOT, else a directory under the system's
// temporary directory.
void setDriveRoot(const std::string& directory);
std::string driveRoot();
// The host path a drive path is mapped to (other paths are used as given).
std::string hostPath(const std::string& path);

// The path GetModuleFileNameA reports for the library's own module.
// Defaults to the file the library was loaded from.
void setModulePath(const std::string& path);
std::string modulePath();

// The tick count GetTickCount reports: the real one unless fixed here.
void fixTickCount(uint32_t ticks);
void unfixTickCount();

}  // namespace sim
