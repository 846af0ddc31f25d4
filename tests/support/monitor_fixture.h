// Helpers for the monitor tests: a monitor thread started and closed the way
// another party would, a companion script that records its runs, and the
// monitor's routine run to its end on a thread of its own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#if defined(__linux__)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "monitor/device_change_monitor.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"
#include "platform/usb_requests.h"
#include "platform/windowing.h"

namespace testsupport {

inline bool eventually(const std::function<bool()>& condition, int milliseconds = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The monitor's hidden window once it listens for USB device notifications.
inline platform::Hwnd listeningMonitorWindow() {
    platform::Hwnd window = nullptr;
    eventually([&] {
        window = platform::FindWindowA(DeviceChangeMonitor::kWindowClassName, DeviceChangeMonitor::kWindowName);
        return window != nullptr && sim::liveNotificationRegistrations() > 0;
    });
    return window;
}

// Closes the monitor as another party would and waits for its thread.
inline bool closeMonitor(platform::Hwnd window, platform::Handle thread) {
    if (window != nullptr) platform::PostMessageW(window, platform::kWmClose, 0, 0);
    return platform::WaitForSingleObject(thread, 5000) == platform::kWaitObject0;
}

// The monitor's routine run to its end on a thread of its own (so that no
// message queue is left behind on the test's thread): its exit code, or 0
// (which the routine never returns) when it has not ended within 5 seconds.
inline uint32_t runMonitorToItsEnd() {
    auto done = std::make_shared<std::promise<uint32_t>>();
    std::future<uint32_t> exitCode = done->get_future();
    std::thread([done] { done->set_value(DeviceChangeMonitor::run(nullptr)); }).detach();
    if (exitCode.wait_for(std::chrono::seconds(5)) != std::future_status::ready) return 0;
    return exitCode.get();
}

#if defined(__linux__)
// A directory with a companion that appends "begin <count> <action>" and
// "end <action>" to runs.log. While a file "hold" exists it waits (at most
// ten seconds) before it ends.
class CompanionDirectory {
public:
    explicit CompanionDirectory(const std::string& subdirectory = "") {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/monitor-XXXXXX";
        base_ = mkdtemp(&pattern[0]) != nullptr ? pattern : "";
        path_ = subdirectory.empty() ? base_ : base_ + "/" + subdirectory;
        if (!subdirectory.empty()) mkdir(path_.c_str(), 0755);
        std::ofstream script(path_ + "/tolvwinusbdevice64.exe");
        script << "#!/bin/sh\n"
               << "dir='" << path_ << "'\n"
               << "echo \"begin $# $1\" >> \"$dir/runs.log\"\n"
               << "i=0\n"
               << "while [ -e \"$dir/hold\" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
               << "sleep 0.02\n"
               << "echo \"end $1\" >> \"$dir/runs.log\"\n";
        script.close();
        chmod((path_ + "/tolvwinusbdevice64.exe").c_str(), 0755);
    }
    ~CompanionDirectory() {
        std::error_code ignored;
        if (!base_.empty()) std::filesystem::remove_all(base_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string libraryPath() const { return path_ + "/Tamberlyx.dll"; }
    std::string runs() const {
        std::ifstream log(path_ + "/runs.log");
        std::stringstream text;
        text << log.rdbuf();
        return text.str();
    }
    void hold() const { std::ofstream(path_ + "/hold").put('x'); }
    void release() const { std::remove((path_ + "/hold").c_str()); }

private:
    std::string base_;
    std::string path_;
};
#endif

}  // namespace testsupport
