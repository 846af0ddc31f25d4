#include "platform/sim/life/hot_plug.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include <sys/stat.h>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"
#include "platform/sim/model/machine_builder.h"

namespace sim {
namespace {

constexpr uint32_t kWatchIntervalMs = 50;

// What identifies one version of a file: a rewrite in place changes the
// modification time or size, a replacement by rename the inode.
struct FileStamp {
    bool exists = false;
    int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
    int64_t changedSeconds = 0, changedNanoseconds = 0;
    int64_t size = 0;
    uint64_t inode = 0;
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && modifiedSeconds == o.modifiedSeconds &&
               modifiedNanoseconds == o.modifiedNanoseconds && changedSeconds == o.changedSeconds &&
               changedNanoseconds == o.changedNanoseconds && size == o.size && inode == o.inode;
    }
};

FileStamp stampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.inode = static_cast<uint64_t>(info.st_ino);
#if defined(__linux__)
    stamp.modifiedSeconds = info.st_mtim.tv_sec;
    stamp.modifiedNanoseconds = info.st_mtim.tv_nsec;
    stamp.changedSeconds = info.st_ctim.tv_sec;
    stamp.changedNanoseconds = info.st_ctim.tv_nsec;
#else
    stamp.modifiedSeconds = static_cast<int64_t>(info.st_mtime);
    stamp.changedSeconds = static_cast<int64_t>(info.st_ctime);
#endif
    return stamp;
}

struct BenchWatch {
    std::mutex lock;
    bool started = false;  // the path and its stamp have been taken
    std::string path;
    FileStamp stamp;
};

// The first look takes the bench named in the environment as it is now,
// which is what the machine's first use reads (SetupDiGetClassDevsW looks
// before it touches the machine).
void startLocked(BenchWatch& w) {
    if (w.started) return;
    w.started = true;
    w.path = benchFileFromEnvironment();
    w.stamp = stampOf(w.path);
}

BenchWatch& watch() {
    static BenchWatch* w = new BenchWatch;
    return *w;
}

}  // namespace

bool watchBenchFile(const std::string& path, std::string* error) {
    BenchWatch& w = watch();
    std::lock_guard<std::mutex> guard(w.lock);
    w.started = true;
    FileStamp stamp = stampOf(path);
    Machine machine;
    std::string why;
    if (!loadBenchFile(path, &machine, &why)) {
        if (error != nullptr) *error = why;
        return false;
    }
    w.path = path;
    w.stamp = stamp;
    installMachine(std::move(machine));
    return true;
}

void unwatchBenchFile() {
    BenchWatch& w = watch();
    std::lock_guard<std::mutex> guard(w.lock);
    w.started = true;
    w.path.clear();
    w.stamp = FileStamp();
}

bool checkBenchFile() {
    BenchWatch& w = watch();
    std::lock_guard<std::mutex> guard(w.lock);
    startLocked(w);
    if (w.path.empty()) return false;
    FileStamp stamp = stampOf(w.path);
    if (stamp == w.stamp) return false;
    w.stamp = stamp;
    if (!stamp.exists) return false;  // being replaced, or gone: the machine stays
    Machine machine;
    std::string error;
    if (!loadBenchFile(w.path, &machine, &error)) {
        std::fprintf(stderr, "simulated USB machine: bench change refused, machine kept: %s\n", error.c_str());
        return false;
    }
    installMachine(std::move(machine));
    return true;
}

void startBenchWatch() {
    static std::atomic<bool> started{false};
    if (started.exchange(true)) return;
    // The machine's own thread, not the program's: it is not counted.
    std::thread([] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kWatchIntervalMs));
            if (liveNotificationRegistrations() > 0) checkBenchFile();
        }
    }).detach();
}

bool plugDevice(const std::vector<uint32_t>& location, const Device& device) {
    bool found = false;
    withMachine([&](Machine& machine) {
        Port* port = findPort(machine, location);
        if (port == nullptr) return;
        port->device = device;
        port->connectionStatus.reset();
        found = true;
    });
    return found;
}

bool unplugDevice(const std::vector<uint32_t>& location) {
    bool found = false;
    withMachine([&](Machine& machine) {
        Port* port = findPort(machine, location);
        if (port == nullptr || !port->device) return;
        port->device.reset();
        port->connectionStatus.reset();
        found = true;
    });
    return found;
}

}  // namespace sim
