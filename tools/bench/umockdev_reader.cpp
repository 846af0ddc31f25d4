// import-umockdev: a recording in the text format umockdev-record writes.
// "P: /devices/..." starts a device; "A: name=value" is an attribute (C
// escapes: \n, \\, \xHH, octal \NNN), "H: name=hex" a binary attribute,
// "E: NAME=value" a property, "L: name=target" a link; "N:" and other lines
// are not needed.
#include <fstream>
#include <string>

#include "tools/bench/linux_devices.h"
#include "tools/bench/linux_import.h"

namespace bench_tool {
namespace {

int hexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        if (c == 'n') out += '\n';
        else if (c == 't') out += '\t';
        else if (c == 'r') out += '\r';
        else if (c == 'x' && i + 2 < text.size() + 0 && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) << 4 | hexDigit(text[i + 2]));
            i += 2;
        } else if (c >= '0' && c <= '7') {
            int value = 0, digits = 0;
            while (digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7') value = value * 8 + (text[i++] - '0'), ++digits;
            --i;
            out += static_cast<char>(value);
        } else {
            out += c;
        }
    }
    return out;
}

std::string fromHex(const std::string& text) {
    std::string out;
    int high = -1;
    for (char c : text) {
        int d = hexDigit(c);
        if (d < 0) continue;
        if (high < 0) {
            high = d;
        } else {
            out += static_cast<char>(high << 4 | d);
            high = -1;
        }
    }
    return out;
}

}  // namespace

bool importUmockdev(const std::string& file, std::string* bench, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = file + ": cannot be read";
        return false;
    }
    std::vector<LinuxDevice> devices;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 3 || line[1] != ':' || line[2] != ' ') continue;
        std::string rest = line.substr(3);
        if (line[0] == 'P') {
            devices.push_back(LinuxDevice{"/sys" + rest, {}, {}, {}});
            continue;
        }
        size_t equals = rest.find('=');
        if (devices.empty() || equals == std::string::npos || std::string("AHEL").find(line[0]) == std::string::npos) continue;
        std::string name = rest.substr(0, equals), value = rest.substr(equals + 1);
        LinuxDevice& d = devices.back();
        if (line[0] == 'A') d.attributes[name] = unescape(value);
        else if (line[0] == 'H') d.attributes[name] = fromHex(value);
        else if (line[0] == 'E') d.properties[name] = value;
        else d.links[name] = value;
    }
    if (devices.empty()) {
        *error = file + ": no devices recorded";
        return false;
    }
    return linuxDesk(devices, bench, error);
}

}  // namespace bench_tool
