#include "listing.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

#include "platform/sim/model/text.h"

TamberlyxDll* loadTamberlyx(const char* program) {
    std::string problem;
    TamberlyxDll* dll = tamberlyx(&problem);
    if (dll == nullptr) std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
    return dll;
}

jint indexOfProduct(const TamberlyxDll& methods, FakeJvm& jvm, jint list, const std::string& product) {
    jint count = methods.usbGetDeviceListCount(jvm.env(), nullptr, list);
    for (jint i = 0; i < count; ++i) {
        std::string record = sim::utf16ToUtf8(jvm.textOf(methods.usbGetDeviceInfo(jvm.env(), nullptr, list, i)));
        if (record.find(":=" + product + ":=") != std::string::npos) return i;
    }
    return -1;
}

void Steps::check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

namespace {

std::string companionLog() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1) + "companion.log";
}

}  // namespace

void logCompanionRuns() {
    DeleteFileA(companionLog().c_str());
    SetEnvironmentVariableA("TAMBERLYX_COMPANION_LOG", companionLog().c_str());
}

std::vector<std::string> companionRuns() {
    std::vector<std::string> lines;
    std::ifstream in(companionLog());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
