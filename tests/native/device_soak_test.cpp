// Many rounds of a whole device session over the built-in bench, with a
// device plugged in and taken out between list updates: the simulated
// stack's accounting must show nothing growing. TAMBERLYX_SOAK_ROUNDS sets
// the number of rounds (scripts/soak runs the long one).
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "access/winusb_api.h"
#include "enum/walk_state.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/machine_builder.h"
#include "session_fixture.h"

using namespace testsupport;

namespace {

constexpr uint16_t kBenchVendor = 0x1A2B;
constexpr uint16_t kLoopback = 0x0001;
constexpr uint16_t kHidEcho = 0x0002;
constexpr uint16_t kVisitor = 0x0077;  // plugged in and out every round
const std::vector<uint32_t> kFreePort = {0, 6};

long roundsToRun() {
    const char* text = std::getenv("TAMBERLYX_SOAK_ROUNDS");
    long rounds = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return rounds > 0 ? rounds : 200;
}

bool hasProduct(int32_t listId, uint16_t product) {
    for (int32_t i = 0; DeviceEntry* e = DeviceListRegistry::entryAt(listId, i); ++i)
        if (e->productId == product && e->present == 1) return true;
    return false;
}

}  // namespace

TEST(DeviceSoak, RoundsOfSessionsWithHotPlugsLeaveTheAccountingFlat) {
    sim::clearFaults();
    sim::clearMisuseReports();
    sim::restoreModules();
    releaseWalkState();
    sim::installDefaultBench();
    sim::Device visitor =
        sim::DeviceBuilder(kBenchVendor, kVisitor).strings("Vantorel Labs", "Visitor", "KV-1").winUsb().build();
    winUsbApi = WinUsbApi{};
    ASSERT_NE(WinUsbApi::load(), nullptr);
    const sim::Counts start = sim::openCounts();

    const long rounds = roundsToRun();
    long bulkEchoes = 0, hidEchoes = 0;
    auto began = std::chrono::steady_clock::now();
    for (long round = 0; round < rounds && !::testing::Test::HasFailure(); ++round) {
        int32_t listId = DeviceListRegistry::create(kBenchVendor);
        ASSERT_GE(listId, 0) << "round " << round;
        ASSERT_TRUE(sim::plugDevice(kFreePort, visitor));
        EXPECT_EQ(DeviceListRegistry::update(listId), 0);
        EXPECT_TRUE(hasProduct(listId, kVisitor)) << "round " << round;
        ASSERT_TRUE(sim::unplugDevice(kFreePort));
        EXPECT_EQ(DeviceListRegistry::update(listId), 0);
        EXPECT_FALSE(hasProduct(listId, kVisitor)) << "round " << round;

        int32_t winUsb = -1, hid = -1;
        findDevices(listId, kLoopback, kHidEcho, &winUsb, &hid);
        SessionResult result;
        FakeJvm jvm;  // one per round, so that the soak holds no arrays of earlier rounds
        useDevices(jvm, listId, winUsb, hid, 4096, &result);
        bulkEchoes += result.bulkEchoed;
        hidEchoes += result.hidEchoed;
        EXPECT_EQ(TAMBERLYX_METHOD(usbReleaseDeviceList)(jvm.env(), nullptr, listId), Success);
        EXPECT_EQ(jvm.pinsOutstanding(), 0) << "round " << round;
        releaseWalkState();

        sim::Counts now = sim::openCounts();
        EXPECT_EQ(now, start) << "round " << round << ": " << sim::describe(now);
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(bulkEchoes, rounds);
    EXPECT_EQ(hidEchoes, rounds);
    EXPECT_TRUE(sim::misuseReports().empty());
    EXPECT_EQ(sim::pendingRequests(), 0u);
    std::printf("soak: %ld rounds in %.2f s (%.3f ms a round)\n  before: %s\n  after:  %s\n", rounds, seconds,
                seconds * 1000.0 / static_cast<double>(rounds), sim::describe(start).c_str(),
                sim::describe(sim::openCounts()).c_str());
    RecordProperty("rounds", static_cast<int>(rounds));
    WinUsbApi::unload(&winUsbApi);
    sim::restoreModules();
}
