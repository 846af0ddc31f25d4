#include "platform/sim/model/json_lines.h"

#include <cstdint>

#include "platform/sim/model/text.h"

namespace sim {
namespace {

// A scanner over text that is known to be valid JSON: it only keeps track
// of lines and of the pointer of each value, and stops quietly at anything
// it does not expect.
class Scanner {
public:
    Scanner(const std::string& text, std::map<std::string, int>& lines) : text_(text), lines_(lines) {}

    void value(const std::string& pointer, int depth) {
        blank();
        if (at_ >= text_.size() || depth > 200) return;
        lines_.emplace(pointer, line_);
        char c = text_[at_];
        if (c == '{') {
            ++at_;
            for (;;) {
                blank();
                if (at_ >= text_.size() || text_[at_] == '}') break;
                if (text_[at_] != '"') return;
                int keyLine = line_;
                std::string key = string();
                std::string child = childPointer(pointer, key);
                lines_.emplace(child, keyLine);
                blank();
                if (at_ < text_.size() && text_[at_] == ':') ++at_;
                value(child, depth + 1);
                blank();
                if (at_ < text_.size() && text_[at_] == ',') {
                    ++at_;
                    continue;
                }
                break;
            }
            if (at_ < text_.size()) ++at_;
        } else if (c == '[') {
            ++at_;
            for (size_t index = 0;; ++index) {
                blank();
                if (at_ >= text_.size() || text_[at_] == ']') break;
                value(childPointer(pointer, std::to_string(index)), depth + 1);
                blank();
                if (at_ < text_.size() && text_[at_] == ',') {
                    ++at_;
                    continue;
                }
                break;
            }
            if (at_ < text_.size()) ++at_;
        } else if (c == '"') {
            string();
        } else {
            while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ']' &&
                   text_[at_] != '/' && !isBlank(text_[at_]))
                ++at_;
        }
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // Blanks and comments.
    void blank() {
        while (at_ < text_.size()) {
            char c = text_[at_];
            if (isBlank(c)) {
                if (c == '\n') ++line_;
                ++at_;
            } else if (c == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '/') {
                while (at_ < text_.size() && text_[at_] != '\n') ++at_;
            } else if (c == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '*') {
                at_ += 2;
                while (at_ + 1 < text_.size() && !(text_[at_] == '*' && text_[at_ + 1] == '/')) {
                    if (text_[at_] == '\n') ++line_;
                    ++at_;
                }
                at_ += 2;
            } else {
                return;
            }
        }
    }

    uint32_t hex4() {
        uint32_t v = 0;
        for (int k = 0; k < 4 && at_ < text_.size(); ++k, ++at_) {
            char c = text_[at_];
            v <<= 4;
            int digit = hexDigitValue(c);
            if (digit >= 0) v |= static_cast<uint32_t>(digit);
        }
        return v;
    }

    // A string at the current position, decoded as the parser decodes it.
    std::string string() {
        std::string out;
        ++at_;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) break;
            char e = text_[at_++];
            switch (e) {
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t cp = hex4();
                    if (cp >= 0xD800 && cp <= 0xDBFF && at_ + 1 < text_.size() && text_[at_] == '\\' &&
                        text_[at_ + 1] == 'u') {
                        at_ += 2;
                        uint32_t low = hex4();
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default: out += e; break;
            }
        }
        if (at_ < text_.size()) ++at_;
        return out;
    }

    const std::string& text_;
    std::map<std::string, int>& lines_;
    size_t at_ = 0;
    int line_ = 1;
};

}  // namespace

JsonLines::JsonLines(const std::string& text) { Scanner(text, lines_).value("", 0); }

int JsonLines::lineOf(std::string pointer) const {
    for (;;) {
        auto it = lines_.find(pointer);
        if (it != lines_.end()) return it->second;
        size_t slash = pointer.rfind('/');
        if (slash == std::string::npos) return 1;
        pointer.resize(slash);
    }
}

int lineAtByte(const std::string& text, size_t position) {
    int line = 1;
    for (size_t i = 0; i < position && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

std::string childPointer(const std::string& pointer, const std::string& key) {
    std::string out = pointer + "/";
    for (char c : key) {
        if (c == '~') out += "~0";
        else if (c == '/') out += "~1";
        else out += c;
    }
    return out;
}

}  // namespace sim
