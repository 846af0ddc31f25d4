// Where a bulk transfer's time goes, without the JVM: the library's bulk
// write and read of one loopback device beside the same two WinUSB calls
// each (pipe time-out, then the transfer) made straight to the simulated
// stack. The difference is the library's own share.
#include <benchmark/benchmark.h>

#include <vector>

#include "access/winusb_api.h"
#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "platform/sim/control/sim_control.h"
#include "platform/usb_requests.h"

namespace {

constexpr int32_t kLoopbackPipe = 0x01;

// The built-in bench's loopback device, opened; null when that failed.
struct OpenLoopback {
    int32_t listId = -1;
    DeviceEntry* entry = nullptr;

    OpenLoopback() {
        releaseWalkState();
        sim::installDefaultBench();
        if (WinUsbApi::load() == nullptr) return;
        listId = DeviceListRegistry::create(0x1A2B);
        for (int32_t i = 0; DeviceEntry* e = DeviceListRegistry::entryAt(listId, i); ++i)
            if (e->productId == 0x0001 && e->isHid == 0) entry = e;
        if (entry != nullptr && entry->open() != 0) entry = nullptr;
    }
    ~OpenLoopback() {
        if (entry != nullptr) entry->close();
        if (listId >= 0) DeviceListRegistry::release(listId);
        WinUsbApi::unload(&winUsbApi);
        releaseWalkState();
    }
};

void BM_LibraryBulkWriteAndRead(benchmark::State& state) {
    OpenLoopback device;
    if (device.entry == nullptr) return state.SkipWithError("the loopback device did not open");
    int32_t size = static_cast<int32_t>(state.range(0));
    std::vector<uint8_t> out(size, 0x5A), in(size);
    for (auto _ : state) {
        int32_t w = device.entry->writeBulkPipe(kLoopbackPipe, size, 500, out.data(), size);
        int32_t r = device.entry->readBulkPipe(kLoopbackPipe, size, 500, in.data(), size);
        if (w != size || r != size) return state.SkipWithError("a transfer fell short");
    }
    state.SetBytesProcessed(state.iterations() * size * 2);
}
BENCHMARK(BM_LibraryBulkWriteAndRead)->Arg(64)->Arg(4096)->Arg(65536);

void BM_WinUsbCallsOnly(benchmark::State& state) {
    OpenLoopback device;
    if (device.entry == nullptr) return state.SkipWithError("the loopback device did not open");
    int32_t size = static_cast<int32_t>(state.range(0));
    std::vector<uint8_t> out(size, 0x5A), in(size);
    void* handle = device.entry->winUsbHandle;
    uint32_t timeout = 500, done = 0;
    for (auto _ : state) {
        winUsbApi.setPipePolicy(handle, 0x01, platform::kPipeTransferTimeout, sizeof timeout, &timeout);
        winUsbApi.writePipe(handle, 0x01, out.data(), static_cast<uint32_t>(size), &done, nullptr);
        winUsbApi.setPipePolicy(handle, 0x81, platform::kPipeTransferTimeout, sizeof timeout, &timeout);
        winUsbApi.readPipe(handle, 0x81, in.data(), static_cast<uint32_t>(size), &done, nullptr);
    }
    state.SetBytesProcessed(state.iterations() * size * 2);
}
BENCHMARK(BM_WinUsbCallsOnly)->Arg(64)->Arg(4096)->Arg(65536);

}  // namespace
