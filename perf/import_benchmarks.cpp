// What importing a umockdev recording costs as it grows: a machine of many
// root hubs, each with a hub on every port and a HID device on every port of
// that hub, written once per size to a temporary file and imported whole.
// The time per device should stay flat: the import is linear.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/bench/linux_import.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPortsPerHub = 10;

void recordUsbDevice(std::ofstream& out, const std::string& path, int product, bool hub) {
    char ids[64];
    std::snprintf(ids, sizeof ids, "%02x%02x", product & 0xFF, (product >> 8) & 0xFF);
    out << "P: " << path << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=1a2b\\n\n"
        << "A: idProduct=" << std::string(ids + 2, 2) << std::string(ids, 2) << "\\n\nA: speed=480\\n\n"
        << "A: maxchild=" << (hub ? kPortsPerHub : 0) << "\\n\nH: descriptors=1201000209000140" << "2b1a" << ids
        << "000101020301" << "0902190001010080fa0904000001" << (hub ? "09" : "03") << "0000000705810304000c\n\n";
    if (!hub) out << "P: " << path << "/" << path.substr(path.find_last_of('/') + 1) << ":1.0\nE: DRIVER=usbhid\n\n";
}

// About `devices` devices, the hubs among them, in a file of its own.
fs::path writeRecording(int devices) {
    fs::path file = fs::temp_directory_path() / ("tamberlyx-import-bench-" + std::to_string(devices) + ".umockdev");
    std::ofstream out(file, std::ios::binary);
    int written = 0;
    for (int bus = 1; written < devices; ++bus) {
        std::string root = "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(bus);
        recordUsbDevice(out, root, 2, true);
        for (int hubPort = 1; hubPort <= kPortsPerHub && written < devices; ++hubPort) {
            std::string hubName = std::to_string(bus) + "-" + std::to_string(hubPort);
            recordUsbDevice(out, root + "/" + hubName, 0x100, true);
            ++written;
            for (int port = 1; port <= kPortsPerHub && written < devices; ++port, ++written)
                recordUsbDevice(out, root + "/" + hubName + "/" + hubName + "." + std::to_string(port), written, false);
        }
    }
    return file;
}

void BM_ImportUmockdev(benchmark::State& state) {
    int devices = static_cast<int>(state.range(0));
    fs::path file = writeRecording(devices);
    std::string bench, error;
    for (auto _ : state) {
        if (!bench_tool::importUmockdev(file.string(), &bench, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(bench.data());
    }
    state.counters["devices"] = devices;
    state.counters["timePerDevice"] = benchmark::Counter(
        static_cast<double>(devices), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    std::error_code ignored;
    fs::remove(file, ignored);
}
BENCHMARK(BM_ImportUmockdev)->Arg(1250)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
