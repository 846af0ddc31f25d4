#include "enum/config_file.h"

#include <cstring>

#include "platform/crt.h"
#include "platform/files.h"
#include "platform/kernel.h"

const char* const kKeywordUseInfGuid = "useinfguid";

namespace {

constexpr uint32_t kPathCapacity = 260;
constexpr int kLineBufferSize = 120;  // at most 119 characters per read
const char kExtension[] = "cfg";

// The configuration file's path from the module path: the part after the
// last "." becomes "cfg". False when the module path cannot be had whole or
// has no "." to cut at.
bool configurationPath(char (&path)[kPathCapacity]) {
    platform::Module self = platform::GetModuleHandleA("Tamberlyx.dll");
    if (self == nullptr) return false;
    uint32_t length = platform::GetModuleFileNameA(self, path, kPathCapacity);
    if (length == 0 || platform::GetLastError() != 0) return false;
    // A path that filled the buffer may have been cut.
    if (length >= kPathCapacity) return false;
    path[length] = '\0';
    char* dot = std::strrchr(path, '.');
    if (dot == nullptr) return false;
    size_t kept = static_cast<size_t>(dot - path) + 1;
    if (kept + sizeof kExtension > kPathCapacity) return false;
    std::memcpy(path + kept, kExtension, sizeof kExtension);
    return true;
}

// Lowers ASCII capitals and cuts the piece at its first line end.
void normaliseLine(char* line) {
    for (char* c = line; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n') {
            *c = '\0';
            return;
        }
        if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
    }
}

}  // namespace

int configHasKeyword(const char* keyword) {
    if (keyword == nullptr) return 0;
    char path[kPathCapacity] = {};
    if (!configurationPath(path)) return 0;
    platform::CrtFile* file = platform::crtOpen(path, "r");
    if (file == nullptr) return 0;
    int found = 0;
    char line[kLineBufferSize] = {};
    while (found == 0 && platform::crtReadLine(line, kLineBufferSize, file) != nullptr) {
        line[kLineBufferSize - 1] = '\0';
        normaliseLine(line);
        if (std::strcmp(line, keyword) == 0) found = 1;
    }
    platform::crtClose(file);
    return found;
}
