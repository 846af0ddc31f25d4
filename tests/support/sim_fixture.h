// Small helpers shared by the tests of the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "platform/usb_requests.h"

namespace testsupport {

// Resets fault rules and the journal, and checks on the way out that the
// test left nothing of the library's behind: nothing open beyond what was
// open at the start, or right after install() when the test installs a
// machine through it.
class SimulatedMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::stopJournal();
        before = sim::openCounts();
    }
    void install(const sim::Machine& machine) {
        sim::installMachine(machine);
        sim::clearFaults();
        before = sim::openCounts();
    }
    void TearDown() override {
        sim::clearFaults();
        sim::stopJournal();
        EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());
    }

    sim::Counts before;
};

inline platform::Handle openForRequests(const std::string& path) {
    return platform::CreateFileA(path.c_str(), platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                                 platform::kOpenExisting, 0, nullptr);
}

inline platform::Handle openHub(const sim::Hub& hub) { return openForRequests("\\\\.\\" + hub.name); }

struct Answer {
    bool ok = false;
    uint32_t error = 0;
    uint32_t bytes = 0;
    std::vector<uint8_t> buffer;
};

// Sends the buffer with one buffer for input and output, as the walk does.
inline Answer request(platform::Handle handle, uint32_t code, std::vector<uint8_t> buffer) {
    Answer a;
    platform::SetLastError(0);
    a.ok = platform::DeviceIoControl(handle, code, buffer.data(), static_cast<uint32_t>(buffer.size()),
                                     buffer.data(), static_cast<uint32_t>(buffer.size()), &a.bytes, nullptr);
    a.error = platform::GetLastError();
    a.buffer = buffer;
    return a;
}

template <typename T>
T recordAt(const std::vector<uint8_t>& bytes, size_t offset = 0) {
    T value{};
    if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

// A copy of a field of a packed record, which a reference must not bind to.
template <typename T>
T copyOf(T value) {
    return value;
}

inline uint32_t u32At(const std::vector<uint8_t>& bytes, size_t offset) { return recordAt<uint32_t>(bytes, offset); }

inline std::u16string textAt(const std::vector<uint8_t>& bytes, size_t offset) {
    std::u16string out;
    for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) break;
        out += unit;
    }
    return out;
}

}  // namespace testsupport
