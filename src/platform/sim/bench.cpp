#include "platform/sim/bench.h"

namespace sim {

bool parseBench(const std::string&, const std::string& fileName, Machine*, std::string* error) {
    if (error != nullptr) *error = fileName + ": bench files are not read yet";
    return false;
}

bool loadBenchFile(const std::string& path, Machine* machine, std::string* error) {
    return parseBench(std::string(), path, machine, error);
}

const std::string& defaultBenchText() {
    static const std::string text = "{}";
    return text;
}

Machine defaultBench() { return Machine(); }

}  // namespace sim
