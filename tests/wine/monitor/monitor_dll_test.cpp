// The device-change monitor of Tamberlyx.dll under Wine: its hidden window
// appears after usbInitialize, and device arrival and removal messages sent
// to it run the companion program beside the library, waited for. The DLL
// and the companion are copied into a directory whose name holds a blank,
// and a second process of this program loads the DLL from there, so that
// the directory can be removed once that process has ended. The window is
// found by its class on the desktop: no other Wine test that starts a
// monitor may run at the same time (a ctest resource lock sees to that).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "monitor_child.h"
#include "fake_jvm.h"
#include "jni/exports.h"
#include "platform/kernel.h"
#include "platform/spawn.h"
#include "platform/windowing.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmDeviceChange = 0x0219;
constexpr uintptr_t kDbtDevNodesChanged = 0x0007;
constexpr uintptr_t kDbtDeviceArrival = 0x8000;
constexpr uintptr_t kDbtDeviceQueryRemove = 0x8001;
constexpr uintptr_t kDbtDeviceRemoveComplete = 0x8004;

constexpr char kWindowClass[] = "KESTRACommWinUSBLib";
constexpr char kCompanionFile[] = "tolvwinusbdevice64.exe";
constexpr char kCompanionLogVariable[] = "TAMBERLYX_COMPANION_LOG";
constexpr char kCompanionLogName[] = "companion.log";

// This program's directory, with a trailing separator: the DLL and the
// companion's folder lie beside it.
std::string programDirectory() {
    char path[1024] = {};
    uint32_t length = platform::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory(path, length);
    size_t separator = directory.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : directory.substr(0, separator + 1);
}

// Runs this program again as the monitor child; its exit code, or -1. The
// directory goes without a trailing separator: the child's command line is
// parsed with a backslash before a quote as an escaped quote.
int runMonitorChild(const std::string& directory) {
    char path[1024] = {};
    platform::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string quotedDirectory = "\"" + directory + "\"";
    const char* argv[] = {path, kMonitorChildOption, quotedDirectory.c_str(), nullptr};
    std::fflush(stdout);
    return static_cast<int>(platform::spawnAndWait(path, argv));
}

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "[" + line + "]";
    return text;
}

// The monitor's window, once its thread has made it; null after 5 s.
platform::Hwnd monitorWindow() {
    for (int attempt = 0; attempt < 500; ++attempt) {
        platform::Hwnd window = platform::FindWindowA(kWindowClass, nullptr);
        if (window != nullptr) return window;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
}

// A directory of its own beside this program, named with a blank, holding
// a copy of the DLL and the recording companion; removed at the end.
struct CompanionDirectory {
    fs::path directory;
    bool made = false;
    CompanionDirectory() {
        fs::path bin(programDirectory());
        directory = bin / ("monitor run " + std::to_string(platform::GetTickCount()));
        std::error_code error;
        fs::remove_all(directory, error);
        made = fs::create_directories(directory, error) &&
               fs::copy_file(bin / "Tamberlyx.dll", directory / "Tamberlyx.dll", error) &&
               fs::copy_file(bin / "companion" / kCompanionFile,
                             directory / kCompanionFile, error);
    }
    ~CompanionDirectory() {
        std::error_code error;
        fs::remove_all(directory, error);
    }
    std::string log() const { return (directory / kCompanionLogName).string(); }
};

TEST(TamberlyxDllMonitor, RunsTheCompanionBesideTheLibraryForArrivalsAndRemovalsOnly) {
    CompanionDirectory place;
    ASSERT_TRUE(place.made) << "cannot prepare " << place.directory.string();
    EXPECT_EQ(runMonitorChild(place.directory.string()), 0)
        << "the child printed the step that went wrong";
    EXPECT_EQ(linesOf(place.log()), (std::vector<std::string>{"2 add", "2 remove", "2 add", "2 add"}))
        << "every run: argument count and the action";
}

}  // namespace

// Loads Tamberlyx.dll from the directory, starts the library and drives its
// monitor's window; 0 when every step went right, else the number of the
// first wrong step.
int monitorChild(const std::string& directoryName) {
    std::string directory = directoryName + "\\";
    std::string log = directory + kCompanionLogName;
    std::string setting = std::string(kCompanionLogVariable) + "=" + log;
    if (_putenv(setting.c_str()) != 0) return 1;

    platform::Module module = platform::LoadLibraryA((directory + "Tamberlyx.dll").c_str());
    if (module == nullptr) {
        std::printf("child: %sTamberlyx.dll does not load\n", directory.c_str());
        return 2;
    }
    auto initialize = reinterpret_cast<decltype(&TAMBERLYX_METHOD(usbInitialize))>(
        platform::GetProcAddress(module, "Java_com_vantorel_kestra_comm_KESTRACommUSBAccess_usbInitialize"));
    if (initialize == nullptr) return 3;
    FakeJvm jvm;
    if (platform::GetModuleHandleA("winusb.dll") != nullptr) {
        std::printf("child: winusb.dll is loaded before usbInitialize\n");
        return 21;
    }
    // Another monitor's window would answer in place of this one's.
    if (platform::FindWindowA(kWindowClass, nullptr) != nullptr) {
        std::printf("child: a window of class %s exists before usbInitialize\n", kWindowClass);
        return 20;
    }
    if (initialize(jvm.env(), nullptr) != 0) return 4;
    if (platform::GetModuleHandleA("winusb.dll") == nullptr) {
        std::printf("child: winusb.dll is not loaded after usbInitialize\n");
        return 5;
    }
    platform::Hwnd window = monitorWindow();
    if (window == nullptr) {
        std::printf("child: no window of class %s\n", kWindowClass);
        return 6;
    }

    // Each message is handled, and the companion run to its end, before
    // SendMessage returns: the log is complete at every step.
    struct Step {
        uintptr_t event;
        std::vector<std::string> logAfter;
    };
    const Step steps[] = {
        {kDbtDeviceArrival, {"2 add"}},
        {kDbtDeviceRemoveComplete, {"2 add", "2 remove"}},
        {kDbtDevNodesChanged, {"2 add", "2 remove"}},
        {kDbtDeviceQueryRemove, {"2 add", "2 remove"}},
        {kDbtDeviceArrival, {"2 add", "2 remove", "2 add"}},
        {kDbtDeviceArrival, {"2 add", "2 remove", "2 add", "2 add"}},
    };
    int number = 7;
    for (const Step& step : steps) {
        intptr_t answer = platform::SendMessageW(window, kWmDeviceChange, step.event, 0);
        std::vector<std::string> lines = linesOf(log);
        if (answer != 1 || lines != step.logAfter) {
            std::printf("child: event 0x%04x answered %d, companion log %s, expected %s\n",
                        static_cast<unsigned>(step.event), static_cast<int>(answer), joined(lines).c_str(),
                        joined(step.logAfter).c_str());
            return number;
        }
        ++number;
    }

    // Closing the window ends the monitor; the window is gone.
    platform::SendMessageW(window, kWmClose, 0, 0);
    if (platform::FindWindowA(kWindowClass, nullptr) != nullptr) return number;
    return 0;
}
