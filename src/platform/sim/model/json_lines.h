// Where each member and element of a JSON text starts, by JSON pointer
// ("/controllers/0/rootHub"), so that a bench error can name its line.
#pragma once

#include <map>
#include <string>

namespace sim {

class JsonLines {
public:
    // The text must already have parsed (comments allowed).
    explicit JsonLines(const std::string& text);
    // The line of the pointer, or of its nearest ancestor that is known.
    int lineOf(std::string pointer) const;

private:
    std::map<std::string, int> lines_;
};

// The line (from 1) of a byte position (from 0) of a text.
int lineAtByte(const std::string& text, size_t position);

// A JSON pointer one level down.
std::string childPointer(const std::string& pointer, const std::string& key);

}  // namespace sim
