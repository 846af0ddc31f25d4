// The companion's path beside the library, and entry 0 of its argument vector.
#include "monitor/companion_path.h"

#include <cstring>

namespace DeviceChangeMonitor {

bool companionPathBeside(const char* modulePath, size_t moduleLength, char* out, size_t outSize) {
    if (modulePath == nullptr || out == nullptr) return false;
    // The directory part: everything up to and including the last separator,
    // looked for from the last character down to the second.
    size_t directoryLength = 0;
    for (size_t i = moduleLength; i > 1; --i) {
        char c = modulePath[i - 1];
        if (c == ':' || c == '\\' || c == '/') {
            directoryLength = i;
            break;
        }
    }
    size_t nameLength = sizeof(kCompanionFileName) - 1;
    if (directoryLength + nameLength + 1 > outSize) return false;
    std::memcpy(out, modulePath, directoryLength);
    std::memcpy(out + directoryLength, kCompanionFileName, nameLength + 1);
    return true;
}

bool programArgument(const char* path, char* out, size_t outSize) {
    if (path == nullptr || out == nullptr) return false;
    size_t length = std::strlen(path);
    bool quote = std::strpbrk(path, " \t") != nullptr;
    size_t needed = length + (quote ? 2 : 0) + 1;
    if (needed > outSize) return false;
    char* at = out;
    if (quote) *at++ = '"';
    std::memcpy(at, path, length);
    at += length;
    if (quote) *at++ = '"';
    *at = '\0';
    return true;
}

}  // namespace DeviceChangeMonitor
