// Small helpers for the walk's tests over simulated machines: a controller
// with one device on its root hub, handles that close themselves, a scratch
// directory for the library's module (the fixture is simtest's).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <fstream>
#include <string>

#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "platform/usb_requests.h"
#include "sim_fixture.h"

namespace testsupport {

constexpr const char* kRootHubName = "USB#ROOT_HUB30#4&1A2B3C4D&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

// A handle that is closed when it goes out of scope.
class OpenHandle {
public:
    explicit OpenHandle(platform::Handle handle) : handle_(handle) {}
    ~OpenHandle() {
        if (platform::isValidHandle(handle_)) platform::CloseHandle(handle_);
    }
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;
    platform::Handle get() const { return handle_; }

private:
    platform::Handle handle_;
};

inline platform::Handle openHub(const std::string& name) {
    std::string path = "\\\\.\\" + name;
    return platform::CreateFileA(path.c_str(), platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                                 platform::kOpenExisting, 0, nullptr);
}

inline platform::Handle openController(const std::string& interfacePath) {
    std::u16string wide(interfacePath.begin(), interfacePath.end());
    return platform::CreateFileW(wide.c_str(), platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                                 platform::kOpenExisting, 0, nullptr);
}

// A controller whose root hub (named kRootHubName) has the device on port 1.
inline sim::HostController controllerWithDevice(const sim::DeviceBuilder& device) {
    return sim::ControllerBuilder().rootHub(sim::HubBuilder(4).name(kRootHubName).device(1, device)).build();
}

// A fresh drive root for the simulated machine with the library's module
// at "c:\lib\Tamberlyx.dll", so that a test can place the configuration
// file beside it; the previous root and module path come back afterwards.
class ScratchModuleDirectory {
public:
    ScratchModuleDirectory() : savedRoot_(sim::driveRoot()), savedModule_(sim::modulePath()) {
        // Unique across processes too: ctest runs tests side by side, and
        // under AddressSanitizer two processes give out the same addresses.
        static std::atomic<int> counter{0};
        std::error_code ignored;
        root_ = std::filesystem::temp_directory_path(ignored) /
                ("tamberlyx-enum-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(root_, ignored);
        std::filesystem::create_directories(root_ / "c" / "lib", ignored);
        sim::setDriveRoot(root_.string());
        sim::setModulePath("c:\\lib\\Tamberlyx.dll");
    }
    ~ScratchModuleDirectory() {
        sim::setDriveRoot(savedRoot_);
        sim::setModulePath(savedModule_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchModuleDirectory(const ScratchModuleDirectory&) = delete;
    ScratchModuleDirectory& operator=(const ScratchModuleDirectory&) = delete;

    // Writes a file under "c:\lib" (relative path with '/' separators).
    void write(const std::string& relativePath, const std::string& content) const {
        std::filesystem::path file = root_ / "c" / "lib" / relativePath;
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        std::ofstream(file, std::ios::binary) << content;
    }

private:
    std::filesystem::path root_;
    std::string savedRoot_, savedModule_;
};

}  // namespace testsupport
