// Reads the quoted includes of every file under a source tree and fails on
// an include that goes up the layer order, across to a sibling layer, into
// a platform's own folder from outside it, or round in a circle: a circle
// of files, or of modules (a module is a header and its source, which may
// include each other) that include one another.
//
//   include_graph_check <src directory>
//
// Prints one line per problem; exits 1 when there is any.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// From the bottom; folders of the same rank may not include each other.
const std::map<std::string, int> kLayerRank = {
    {"platform", 0}, {"base", 1},    {"trace", 2},   {"enum", 3},
    {"devlist", 4},  {"access", 4},  {"monitor", 4}, {"session", 5}, {"jni", 6},
};

std::string firstComponent(const std::string& path) { return path.substr(0, path.find('/')); }

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The platform's implementations, which only the platform itself may reach.
bool isPlatformImplementation(const std::string& path) {
    return startsWith(path, "platform/sim/") || startsWith(path, "platform/win32/");
}

std::vector<std::string> quotedIncludes(const fs::path& file) {
    std::vector<std::string> found;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 1, "#") != 0) continue;
        size_t word = line.find_first_not_of(" \t", start + 1);
        if (word == std::string::npos || line.compare(word, 7, "include") != 0) continue;
        size_t open = line.find('"', word + 7);
        size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close != std::string::npos) found.push_back(line.substr(open + 1, close - open - 1));
    }
    return found;
}

struct Graph {
    std::map<std::string, std::vector<std::string>> edges;  // file or module -> those it includes
};

// The module of a file: its path without the extension.
std::string moduleOf(const std::string& file) { return file.substr(0, file.rfind('.')); }

// The includes between modules; a module's own header is no edge.
Graph moduleGraph(const Graph& files) {
    std::map<std::string, std::set<std::string>> edges;
    for (const auto& [file, included] : files.edges)
        for (const std::string& target : included)
            if (moduleOf(target) != moduleOf(file)) edges[moduleOf(file)].insert(moduleOf(target));
    Graph modules;
    for (const auto& [module, targets] : edges) modules.edges[module].assign(targets.begin(), targets.end());
    return modules;
}

// Depth-first search for circles; each is reported once, from where it was found.
void findCircles(const Graph& graph, const std::string& label, const std::string& file,
                 std::map<std::string, int>& state, std::vector<std::string>& path, int& problems) {
    state[file] = 1;
    path.push_back(file);
    auto edges = graph.edges.find(file);
    if (edges != graph.edges.end()) {
        for (const std::string& next : edges->second) {
            if (state[next] == 1) {
                std::cout << label << ":";
                auto from = std::find(path.begin(), path.end(), next);
                for (auto it = from; it != path.end(); ++it) std::cout << " " << *it << " ->";
                std::cout << " " << next << "\n";
                ++problems;
            } else if (state[next] == 0) {
                findCircles(graph, label, next, state, path, problems);
            }
        }
    }
    path.pop_back();
    state[file] = 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: include_graph_check <src directory>\n";
        return 2;
    }
    const fs::path root = argv[1];
    if (!fs::is_directory(root)) {
        std::cerr << root << " is not a directory\n";
        return 2;
    }

    Graph graph;
    int problems = 0;
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_regular_file()) continue;
        const std::string extension = item.path().extension().string();
        if (extension != ".h" && extension != ".cpp") continue;
        ++files;
        const std::string file = fs::relative(item.path(), root).generic_string();
        const std::string layer = firstComponent(file);
        auto rank = kLayerRank.find(layer);
        if (rank == kLayerRank.end()) {
            std::cout << file << ": lies in no layer\n";
            ++problems;
            continue;
        }
        for (const std::string& included : quotedIncludes(item.path())) {
            if (!fs::exists(root / included)) continue;  // not a file of this tree
            graph.edges[file].push_back(included);
            const std::string target = firstComponent(included);
            auto targetRank = kLayerRank.find(target);
            if (targetRank == kLayerRank.end()) continue;
            if (target != layer && targetRank->second >= rank->second) {
                std::cout << file << ": includes " << included
                          << (targetRank->second == rank->second ? " (a sibling layer)\n" : " (a layer above)\n");
                ++problems;
            }
            if (isPlatformImplementation(included) && firstComponent(file.substr(file.find('/') + 1)) !=
                                                          firstComponent(included.substr(included.find('/') + 1))) {
                std::cout << file << ": includes " << included << " (a platform's own header)\n";
                ++problems;
            }
        }
    }
    if (files == 0) {
        std::cout << "no sources under " << root << "\n";
        return 1;
    }

    // A circle of files is named again as one of its modules.
    std::map<std::string, int> state;
    std::vector<std::string> path;
    for (const auto& [file, unused] : graph.edges)
        if (state[file] == 0) findCircles(graph, "circle", file, state, path, problems);
    const Graph modules = moduleGraph(graph);
    std::map<std::string, int> moduleState;
    for (const auto& [module, unused] : modules.edges)
        if (moduleState[module] == 0) findCircles(modules, "module circle", module, moduleState, path, problems);

    if (problems == 0) std::cout << files << " files, no upward include and no circle of files or modules\n";
    return problems == 0 ? 0 : 1;
}
