// Fuzz target: import-sysfs on any tree. Nothing may crash it or read past
// the input, and every bench it writes is one the bench reader accepts.
//
// Input: a sysfs tree, one entry a line, under the root "/sys":
//   D PATH           a directory
//   F PATH=TEXT      a file holding TEXT and a newline, as sysfs attributes end
//   H PATH=HEX       a file holding the bytes of hexadecimal pairs
//   L PATH=TARGET    a link
// Lines of any other shape are skipped.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sim/model/bench.h"
#include "tools/bench/sysfs_tree.h"

namespace {

int hexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string hexBytes(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) break;
        out += static_cast<char>(high << 4 | low);
    }
    return out;
}

void addLine(const std::string& line, bench_tool::MemoryTree* tree) {
    if (line.size() < 3 || line[1] != ' ') return;
    std::string rest = line.substr(2);
    if (line[0] == 'D') {
        tree->addDirectory(rest);
        return;
    }
    size_t equals = rest.find('=');
    if (equals == std::string::npos) return;
    std::string path = rest.substr(0, equals), value = rest.substr(equals + 1);
    if (line[0] == 'F') tree->addFile(path, value + "\n");
    else if (line[0] == 'H') tree->addFile(path, hexBytes(value));
    else if (line[0] == 'L') tree->addLink(path, value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    bench_tool::MemoryTree tree;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        addLine(text.substr(at, end - at), &tree);
        at = end + 1;
    }
    std::string bench, error;
    if (!bench_tool::importSysfsTree(tree, "/sys", &bench, &error)) return 0;
    sim::Machine machine;
    if (!sim::parseBench(bench, "imported.json", &machine, &error)) {
        std::fprintf(stderr, "sysfs fuzz: the importer wrote a bench the reader refuses: %s\n%s\n", error.c_str(),
                     bench.c_str());
        std::abort();
    }
    return 0;
}
