// Kernel services of the simulated machine: tick count, modules, threads and
// the UTF-8 to UTF-16 conversion.
#include "platform/kernel.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/io/handles.h"
#include "platform/sim/control/sim_control.h"

namespace sim {
namespace {

struct TickState {
    std::mutex lock;
    bool fixed = false;
    uint32_t value = 0;
};

TickState& ticks() {
    static TickState* t = new TickState;
    return *t;
}

// The module handle of the library itself, as GetModuleHandleA gives it.
platform::Module libraryModule() { return reinterpret_cast<platform::Module>(static_cast<uintptr_t>(0x7A000000)); }
platform::Module hostModule() { return reinterpret_cast<platform::Module>(static_cast<uintptr_t>(0x00400000)); }

bool equalsNoCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

}  // namespace

void fixTickCount(uint32_t value) {
    std::lock_guard<std::mutex> guard(ticks().lock);
    ticks().fixed = true;
    ticks().value = value;
}

void unfixTickCount() {
    std::lock_guard<std::mutex> guard(ticks().lock);
    ticks().fixed = false;
}

}  // namespace sim

namespace platform {

uint32_t GetTickCount() {
    sim::failHere("GetTickCount");
    {
        std::lock_guard<std::mutex> guard(sim::ticks().lock);
        if (sim::ticks().fixed) return sim::ticks().value;
    }
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

Module GetModuleHandleA(const char* name) {
    if (sim::failHere("GetModuleHandleA", name == nullptr ? "(null)" : name)) return nullptr;
    if (name == nullptr) return sim::hostModule();
    if (sim::equalsNoCase(name, "Tamberlyx.dll")) return sim::libraryModule();
    if (Module loaded = sim::loadedModuleNamed(name)) return loaded;
    SetLastError(kErrorModNotFound);
    return nullptr;
}

Module GetModuleHandleW(const char16_t* name) {
    if (sim::failHere("GetModuleHandleW")) return nullptr;
    if (name == nullptr) return sim::hostModule();
    std::string narrow;
    for (; *name != 0; ++name) narrow += static_cast<char>(*name);
    return GetModuleHandleA(narrow.c_str());
}

uint32_t GetModuleFileNameA(Module module, char* buffer, uint32_t size) {
    if (sim::failHere("GetModuleFileNameA")) return 0;
    if (buffer == nullptr || size == 0) {
        SetLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::string path = module == sim::libraryModule() ? sim::modulePath() : "host.exe";
    if (path.size() + 1 > size) {
        // As Windows does: the path is cut to fit, terminated, and the last
        // error says so.
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(kErrorInsufficientBuffer);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(kErrorSuccess);
    return static_cast<uint32_t>(path.size());
}

namespace {

// Decodes one UTF-8 sequence at text[i] (n bytes in all). Returns the number
// of bytes consumed and the code point, or U+FFFD for a maximal ill-formed
// subpart, as the system's converter does without flags.
int decodeUtf8(const unsigned char* text, int32_t n, int32_t i, uint32_t* codePoint) {
    unsigned char b = text[i];
    if (b < 0x80) {
        *codePoint = b;
        return 1;
    }
    int needed;
    uint32_t value;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        needed = 1;
        value = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        needed = 2;
        value = b & 0x0F;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;  // no encoded surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        needed = 3;
        value = b & 0x07;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        *codePoint = 0xFFFD;
        return 1;
    }
    int used = 1;
    for (int k = 0; k < needed; ++k) {
        if (i + used >= n) {
            *codePoint = 0xFFFD;
            return used;
        }
        unsigned char c = text[i + used];
        unsigned char lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
        if (c < lo || c > hi) {
            *codePoint = 0xFFFD;
            return used;
        }
        value = (value << 6) | (c & 0x3F);
        ++used;
    }
    *codePoint = value;
    return used;
}

}  // namespace

int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength,
                            char16_t* output, int32_t outputUnits) {
    if (sim::failHere("MultiByteToWideChar")) return 0;
    if (codePage != kCpUtf8 || flags != 0 || text == nullptr || textLength == 0 || outputUnits < 0) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    int32_t n = textLength < 0 ? static_cast<int32_t>(std::strlen(text)) + 1 : textLength;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    int32_t units = 0;
    for (int32_t i = 0; i < n;) {
        uint32_t cp = 0;
        i += decodeUtf8(bytes, n, i, &cp);
        int32_t width = cp >= 0x10000 ? 2 : 1;
        if (output != nullptr && outputUnits > 0) {
            if (units + width > outputUnits) {
                SetLastError(kErrorInsufficientBuffer);
                return 0;
            }
            if (width == 2) {
                cp -= 0x10000;
                output[units] = static_cast<char16_t>(0xD800 + (cp >> 10));
                output[units + 1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                output[units] = static_cast<char16_t>(cp);
            }
        }
        units += width;
    }
    return units;
}

}  // namespace platform
