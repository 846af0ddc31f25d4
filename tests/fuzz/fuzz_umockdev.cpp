// Fuzz target: import-umockdev on any text. Nothing may crash it or read
// past the text, and every bench it writes is one the bench reader accepts.
//
// Input: the recording's text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sim/model/bench.h"
#include "tools/bench/linux_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string bench, error;
    if (!bench_tool::importUmockdevText(text, "fuzzed.umockdev", &bench, &error)) return 0;
    sim::Machine machine;
    if (!sim::parseBench(bench, "imported.json", &machine, &error)) {
        std::fprintf(stderr, "umockdev fuzz: the importer wrote a bench the reader refuses: %s\n%s\n", error.c_str(),
                     bench.c_str());
        std::abort();
    }
    return 0;
}
