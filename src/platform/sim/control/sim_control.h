// The control surface of the simulated machine, for tests, tools and the
// demo: what machine is installed and how it changes, fault rules and the
// call journal, what the library holds, misuse reports, windowing
// broadcasts, drive paths, the module path and the tick count. The library
// itself only sees the platform headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/model/machine.h"
#include "platform/types.h"

namespace sim {

// ---------------------------------------------------------------------------
// The installed machine
// ---------------------------------------------------------------------------
//
// On first use it is the bench file named by the environment variable
// TAMBERLYX_BENCH, or the built-in default bench when none is named. Tests
// install their own machine; hot-plug replaces it. Every platform call
// looks at the machine under one lock.

// Replaces the installed machine. Handles and device information sets
// taken earlier stay valid as handles; requests on a handle whose object is
// gone from the new machine fail with ERROR_DEVICE_NOT_CONNECTED.
void installMachine(Machine machine);
void installDefaultBench();
// Reads a bench file and installs its machine; false with *error set (and
// the installed machine unchanged) when the file is refused.
bool installBenchFile(const std::string& path, std::string* error);
// What first use does: the bench named by TAMBERLYX_BENCH, else the default
// bench. A named bench that is refused leaves a machine without USB
// devices, and the reason is written to the standard error stream.
void installFromEnvironment();
// Runs the function on the installed machine under its lock and re-reads
// the machine's structure afterwards. The function must not call platform
// operations.
void withMachine(const std::function<void(Machine&)>& change);
// A copy of the installed machine.
Machine machineCopy();

// The bench file named by TAMBERLYX_BENCH ("" when none).
std::string benchFileFromEnvironment();

// ---------------------------------------------------------------------------
// Hot-plug
// ---------------------------------------------------------------------------
//
// Every change of the installed machine is a hot-plug: installMachine,
// withMachine, plugDevice and unplugDevice, and a rewritten bench file.
// Devices that went are unplugged (their open handles fail, blocked
// transfers end); every window registered for device interfaces gets
// WM_DEVICECHANGE with DBT_DEVICEREMOVECOMPLETE for each interface that
// went and DBT_DEVICEARRIVAL for each that came, and every top-level window
// gets DBT_DEVNODES_CHANGED.
//
// The bench file (TAMBERLYX_BENCH, or the one given to watchBenchFile) is
// read again when it changes: looked at by every SetupDiGetClassDevsW, so
// that a walk right after a rewrite sees the new machine, and every 50 ms
// while any window is registered for device notifications. A bench file with
// an error keeps the machine as it was and says why on standard error.

// Installs the machine of a bench file and watches that file from now on.
// False with *error set when the file is refused (nothing changes then).
bool watchBenchFile(const std::string& path, std::string* error);
// Stops watching any bench file (the machine stays as it is).
void unwatchBenchFile();
// Reads the watched bench file again if it changed since it was last read;
// true when that replaced the machine.
bool checkBenchFile();

// Puts a device on a port (location as findPort takes it: controller index,
// then port numbers from 1 down through hubs), replacing what was there.
// False when there is no such port.
bool plugDevice(const std::vector<uint32_t>& location, const Device& device);
// Takes the device off the port; false when there was none.
bool unplugDevice(const std::vector<uint32_t>& location);

// ---------------------------------------------------------------------------
// Fault rules and the call journal
// ---------------------------------------------------------------------------
//
// Every simulated platform call records itself in the journal; a rule "the
// Nth call of operation X fails with error E" makes exactly that call fail.

struct JournalRecord {
    std::string operation;  // "CreateFileA", "DeviceIoControl", ...
    std::string arguments;  // a readable summary of what was asked
};

// The Nth (from 1) call of the operation from now on fails with the error.
// An operation of "*" counts every simulated call.
void failNthCall(const std::string& operation, uint64_t n, uint32_t error);
void clearFaults();
// How many rules have hit since the last clearFaults().
uint64_t faultsHit();

void startJournal();
void stopJournal();
std::vector<JournalRecord> journal();
size_t journalCount(const std::string& operation);

// ---------------------------------------------------------------------------
// What the library holds, and how it uses the machine
// ---------------------------------------------------------------------------

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

// Misuse of the platform that Windows would not report but that corrupts a
// program or leaks: an event closed while an overlapped request that
// signals it is still pending, a WinUSB entry point called after its module
// was released, a file closed under a live WinUSB interface... Each report
// is a readable sentence; tests assert that none was made.
std::vector<std::string> misuseReports();
void clearMisuseReports();

// The next WaitForSingleObject returns this value without waiting (for
// example 0x80, WAIT_ABANDONED), once.
void forceNextWaitResult(uint32_t waitResult);

// Overlapped requests issued and not yet ended, on all files.
size_t pendingRequests();

// ---------------------------------------------------------------------------
// Windowing: window classes, device-change broadcasts, and waiting until
// they have been handled
// ---------------------------------------------------------------------------

// Forgets every registered window class; windows already made keep their
// procedure. Lets tests register the same class in turn.
void forgetWindowClasses();

// WM_DEVICECHANGE with the event (DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE)
// and a DEV_BROADCAST_DEVICEINTERFACE_W naming the interface, to every
// window registered for that interface class (or for all classes). The
// caller does not wait: the plug-and-play client hands the messages over
// one at a time, each ahead of posted messages, waiting at most 2 s for
// each; a message not taken by then is withdrawn, and a window whose
// thread has taken no message for 5 s and is not waiting for one is
// skipped. Returns the number of messages to hand over.
size_t broadcastDeviceInterfaceChange(uint32_t event, const platform::Guid& interfaceClass,
                                      const std::string& interfacePath);
// WM_DEVICECHANGE with DBT_DEVNODES_CHANGED to every top-level window,
// registered or not, as the system sends on any change of devices.
size_t broadcastDevNodesChanged();
// WM_DEVICECHANGE with the event and a DEV_BROADCAST_VOLUME (drive letters
// as a bit mask, bit 0 for A:) or a DEV_BROADCAST_PORT_W ("COM3") to every
// top-level window, registered or not, as the system announces volumes and
// ports. A change of the machine sends them for the devices that bring one.
size_t broadcastVolumeChange(uint32_t event, uint32_t unitMask);
size_t broadcastPortChange(uint32_t event, const std::string& portName);
// The hand-over's time-out and the time after which a window looks hung
// (2,000 and 5,000 ms unless a test shortens them).
void setNotificationTimeOuts(uint32_t sendMilliseconds, uint32_t hungMilliseconds);
// True when every broadcast queued so far has been handled by its window
// (or dropped with it) within the time.
bool waitForBroadcastsHandled(uint32_t milliseconds);
// Broadcasts queued and not yet handled, withdrawn or dropped.
size_t broadcastsWaiting();
// Device-notification registrations for windows that still exist.
size_t liveNotificationRegistrations();

// ---------------------------------------------------------------------------
// Loadable modules ("winusb.dll")
// ---------------------------------------------------------------------------

// The handle of a module loaded by name and not yet released, or null.
platform::Module loadedModuleNamed(const char* name);
// A module made unavailable cannot be loaded (ERROR_MOD_NOT_FOUND); one
// already loaded stays loaded. An entry point made unavailable is not found
// by GetProcAddress (ERROR_PROC_NOT_FOUND).
void setModuleAvailable(const std::string& module, bool available);
void setEntryPointAvailable(const std::string& module, const std::string& entryPoint, bool available);
// Every module and entry point available again; references are kept.
void restoreModules();
// LoadLibraryA references not yet released by FreeLibrary.
int moduleReferences(const std::string& module);

// ---------------------------------------------------------------------------
// The running devices (their classes: devices/winusb_device.h, hid_device.h)
// ---------------------------------------------------------------------------

class WinUsbDevice;
class HidDevice;
// The running device behind an interface path of the installed machine
// (made if need be), or null when the path names no such device.
std::shared_ptr<WinUsbDevice> winUsbDeviceAt(const std::string& interfacePath);
std::shared_ptr<HidDevice> hidDeviceAt(const std::string& hidPath);

}  // namespace sim
