// Fuzz target: the bench reader on any text. Nothing it is given may crash
// it, read past the text or leave it hanging; a bench it accepts is a
// machine the simulated stack can install and walk.
//
// Input: the bench file's text.
#include <cstdint>
#include <string>

#include "devlist/device_list_registry.h"
#include "enum/walk_state.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text lives in a block of exactly its size.
    std::string text(reinterpret_cast<const char*>(data), size);
    sim::Machine machine;
    std::string error;
    if (!sim::parseBench(text, "fuzzed.json", &machine, &error)) return 0;
    sim::installMachine(machine);
    int32_t list = DeviceListRegistry::create(0xFFFF);
    if (list >= 0) DeviceListRegistry::release(list);
    releaseWalkState();
    return 0;
}
