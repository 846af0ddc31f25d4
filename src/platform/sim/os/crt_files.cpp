// C-runtime file streams over the host's files, with drive paths mapped into
// the simulated machine's directory.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/crt.h"
#include "platform/files.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/control/sim_control.h"

namespace platform {

struct CrtFile {
    FILE* stream;
};

CrtFile* crtOpen(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    if (sim::failHere("fopen", std::string(path) + " " + mode)) return nullptr;
    // The simulated machine's files hold the same bytes on every host: "\n"
    // stays "\n", also when the simulator itself runs on Windows, where the
    // runtime's text mode would write "\r\n".
    std::string hostMode = mode;
#if defined(_WIN32)
    if (hostMode.find('b') == std::string::npos) hostMode += 'b';
#endif
    std::string hostFile = sim::hostPath(path);
    std::error_code ignored;
    bool existed = std::filesystem::exists(hostFile, ignored);
    FILE* stream = std::fopen(hostFile.c_str(), hostMode.c_str());
    if (stream == nullptr) return nullptr;
    // The runtime opens the file with CreateFileW, which sets the last error
    // when it succeeds: ERROR_ALREADY_EXISTS when "w" (CREATE_ALWAYS) or "a"
    // (OPEN_ALWAYS) met a file that was there, else 0 (Microsoft Learn,
    // CreateFileW; Wine's kernelbase CreateFileW; msvcrt's _wsopen_s maps
    // "w" and "a" to those dispositions).
    bool creates = mode[0] == 'w' || mode[0] == 'a';
    platform::SetLastError(creates && existed ? platform::kErrorAlreadyExists : 0);
    ++sim::liveCounters().crtFiles;
    return new CrtFile{stream};
}

size_t crtRead(void* buffer, size_t elementSize, size_t count, CrtFile* file) {
    if (sim::failHere("fread")) return 0;
    return file == nullptr ? 0 : std::fread(buffer, elementSize, count, file->stream);
}

char* crtReadLine(char* buffer, int size, CrtFile* file) {
    if (sim::failHere("fgets")) return nullptr;
    return file == nullptr ? nullptr : std::fgets(buffer, size, file->stream);
}

int crtWrite(const char* text, CrtFile* file) {
    if (sim::failHere("fputs")) return EOF;
    return file == nullptr ? EOF : std::fputs(text, file->stream);
}

int crtFlush(CrtFile* file) {
    if (sim::failHere("fflush")) return EOF;
    return file == nullptr ? EOF : std::fflush(file->stream);
}

int crtClose(CrtFile* file) {
    bool faulted = sim::failHere("fclose");
    if (file == nullptr) return EOF;
    int result = std::fclose(file->stream);  // a failed close still releases the stream
    if (faulted) result = EOF;
    delete file;
    --sim::liveCounters().crtFiles;
    return result;
}

}  // namespace platform
