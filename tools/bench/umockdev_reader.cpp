// import-umockdev: a recording in the text format umockdev-record writes.
// "P: /devices/..." starts a device; "A: name=value" is an attribute (C
// escapes: \n, \\, \xHH, octal \NNN), "H: name=hex" a binary attribute,
// "E: NAME=value" a property, "L: name=target" a link; "N:" and other lines
// are not needed.
#include <fstream>
#include <sstream>
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

// The bytes of a hex text, or false when it holds anything but pairs of
// hex digits (*column: where, counted from 1).
bool fromHex(const std::string& text, std::string* bytes, size_t* column) {
    bytes->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = hexDigit(text[i]), low = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (high < 0 || low < 0) {
            *column = high < 0 ? i + 1 : i + 2;
            return false;
        }
        *bytes += static_cast<char>(high << 4 | low);
    }
    return true;
}

}  // namespace

bool importUmockdevText(const std::string& text, const std::string& file, std::string* bench, std::string* error) {
    std::istringstream in(text);
    std::vector<LinuxDevice> devices;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        // umockdev-record ends every line; one that is not ended was cut.
        if (in.eof()) {
            *error = file + ":" + std::to_string(number) + ": the recording ends in the middle of a line (cut short?)";
            return false;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 3 || line[1] != ':' || line[2] != ' ') continue;
        std::string rest = line.substr(3);
        if (line[0] == 'P') {
            devices.push_back(LinuxDevice{"/sys" + rest, {}, {}, {}, number, {}});
            continue;
        }
        size_t equals = rest.find('=');
        if (devices.empty() || equals == std::string::npos || std::string("AHEL").find(line[0]) == std::string::npos) continue;
        std::string name = rest.substr(0, equals), value = rest.substr(equals + 1);
        LinuxDevice& d = devices.back();
        if (line[0] == 'A') {
            d.attributes[name] = unescape(value);
        } else if (line[0] == 'H') {
            size_t column = 0;
            if (!fromHex(value, &d.attributes[name], &column)) {
                *error = file + ":" + std::to_string(number) + ": " + name + ": bad hex at column " +
                         std::to_string(3 + equals + 1 + column);
                return false;
            }
        } else if (line[0] == 'E') {
            d.properties[name] = value;
        } else {
            d.links[name] = value;
        }
        if (line[0] == 'A' || line[0] == 'H') d.attributeLines[name] = number;
    }
    if (devices.empty()) {
        *error = file + ": no devices recorded";
        return false;
    }
    return linuxBench(devices, file, bench, error);
}

bool importUmockdev(const std::string& file, std::string* bench, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = file + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return importUmockdevText(text.str(), file, bench, error);
}

}  // namespace bench_tool
