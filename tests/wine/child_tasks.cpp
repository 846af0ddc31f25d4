#include "child_tasks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/kernel.h"
#include "platform/shared_words.h"
#include "platform/spawn.h"
#include "tamberlyx_dll.h"
#include "fake_jvm.h"

namespace {

using ProbeFn = volatile platform::TraceWords* (*)();

// Loads the shared-words probe DLL; null when it cannot be had.
volatile platform::TraceWords* probeWords() {
    platform::Module probe = platform::LoadLibraryA((programDirectory() + "shared_words_probe.dll").c_str());
    if (probe == nullptr) return nullptr;
    auto probeFn = reinterpret_cast<ProbeFn>(platform::GetProcAddress(probe, "sharedWordsProbe"));
    return probeFn == nullptr ? nullptr : probeFn();
}

// "probe-counter": reports the probe's shared counter as seen by a second
// process (exit code), and advances it by one for the first to see.
int probeCounter() {
    volatile platform::TraceWords* words = probeWords();
    if (words == nullptr) return 200;
    int32_t seen = words->fileCounter;
    words->fileCounter = seen + 1;
    return seen;
}

// "create-list": one list creation through Tamberlyx.dll (the access
// handle of a fresh process is -1); 0, or 200 + what went wrong.
int createList() {
    std::string problem;
    TamberlyxDll* dll = tamberlyx(&problem);
    if (dll == nullptr) {
        std::printf("child: %s\n", problem.c_str());
        return 201;
    }
    FakeJvm jvm;
    return dll->usbCreateDeviceList(jvm.env(), nullptr, -1, 0xFFFF) >= 0 ? 0 : 202;
}

// "fresh-handle": what a freshly loaded library says about its access
// handle: 0 when every answer is right, else the number of the first wrong
// step.
int freshHandle() {
    std::string problem;
    TamberlyxDll* dll = tamberlyx(&problem);
    if (dll == nullptr) {
        std::printf("child: %s\n", problem.c_str());
        return 100;
    }
    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    struct Step {
        jint got;
        jint expected;
    };
    // Before any initialisation the handle is -1: a list can be made with
    // -1, not with 0, and releasing -1 succeeds.
    jint wrongHandleList = dll->usbCreateDeviceList(env, nullptr, 0, 0xFFFF);
    jint listBefore = dll->usbCreateDeviceList(env, nullptr, -1, 0xFFFF);
    const Step steps[] = {
        {wrongHandleList, -116},
        {listBefore >= 0 ? 0 : listBefore, 0},
        {dll->usbRelease(env, nullptr, -1), 0},
        {dll->usbInitialize(env, nullptr), 0},
        {dll->usbInitialize(env, nullptr), -115},
        {dll->usbRelease(env, nullptr, 5), -116},
        {dll->usbCreateDeviceList(env, nullptr, -1, 0xFFFF), -116},
        {dll->usbRelease(env, nullptr, 0), 0},
        {dll->usbRelease(env, nullptr, 0), -116},
        {dll->usbInitialize(env, nullptr), 0},
        {dll->usbRelease(env, nullptr, 0), 0},
    };
    int number = 1;
    for (const Step& step : steps) {
        if (step.got != step.expected) {
            std::printf("child: step %d gave %d, expected %d\n", number, static_cast<int>(step.got),
                        static_cast<int>(step.expected));
            return number;
        }
        ++number;
    }
    return 0;
}

}  // namespace

int runChildTask(int argc, char** argv) {
    std::string task = argv[0];
    if (task == "exit-code" && argc >= 2) return std::atoi(argv[1]);
    if (task == "probe-counter") return probeCounter();
    if (task == "create-list") return createList();
    if (task == "fresh-handle") return freshHandle();
    std::printf("unknown child task %s\n", task.c_str());
    return 255;
}

std::string programDirectory() {
    char path[1024] = {};
    uint32_t length = platform::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string directory(path, length);
    size_t separator = directory.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : directory.substr(0, separator + 1);
}

int runChild(const std::vector<std::string>& arguments) {
    char path[1024] = {};
    platform::GetModuleFileNameA(nullptr, path, sizeof path);
    std::vector<const char*> argv = {path, "--child"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    std::fflush(stdout);
    return static_cast<int>(platform::spawnAndWait(path, argv.data()));
}
