// C-runtime file streams and allocations. Drive paths are used as given:
// on Windows they lead where they say.
#include "platform/crt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// A CrtFile is the runtime's own stream under another name.
FILE* stream(CrtFile* file) { return reinterpret_cast<FILE*>(file); }

}  // namespace

CrtFile* crtOpen(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return reinterpret_cast<CrtFile*>(std::fopen(path, mode));
}

size_t crtRead(void* buffer, size_t elementSize, size_t count, CrtFile* file) {
    return file == nullptr ? 0 : std::fread(buffer, elementSize, count, stream(file));
}

char* crtReadLine(char* buffer, int size, CrtFile* file) {
    return file == nullptr ? nullptr : std::fgets(buffer, size, stream(file));
}

int crtWrite(const char* text, CrtFile* file) { return file == nullptr ? EOF : std::fputs(text, stream(file)); }

int crtFlush(CrtFile* file) { return file == nullptr ? EOF : std::fflush(stream(file)); }

int crtClose(CrtFile* file) { return file == nullptr ? EOF : std::fclose(stream(file)); }

void* crtAllocZero(size_t bytes) { return std::calloc(1, bytes == 0 ? 1 : bytes); }

char* crtDuplicate(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

void crtFree(void* block) { std::free(block); }

}  // namespace platform
