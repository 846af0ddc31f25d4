// The machine-wide trace words. On Linux they live in POSIX shared memory,
// so every process of this user that loads the library sees one counter and
// one flag; the object's name holds the user id, or is set with
// TAMBERLYX_SIM_SHM or tamberlyx.sim.shm (tests use their own). Another
// user's object is never mapped: it could switch this user's trace on.
#include "platform/shared_words.h"

#include <cstdlib>
#include <string>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/sim/life/host_settings.h"

namespace platform {
namespace {

volatile TraceWords* mapSharedWords() {
#if defined(__linux__)
    std::string name = sim::hostSetting(sim::HostSetting::SharedWordsName);
    if (name.empty()) name = "/tamberlyx-trace-words-" + std::to_string(geteuid());
    if (name[0] != '/') name = "/" + name;
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        void* words = MAP_FAILED;
        struct stat info {};
        bool ours = fstat(fd, &info) == 0 && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
        if (ours && ftruncate(fd, sizeof(TraceWords)) == 0)
            words = mmap(nullptr, sizeof(TraceWords), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        if (words != MAP_FAILED) return static_cast<volatile TraceWords*>(words);
    }
#endif
    // No machine-wide store to be had: the words are this process's own.
    static TraceWords local{0, 0};
    return &local;
}

}  // namespace

volatile TraceWords* traceWords() {
    static volatile TraceWords* words = mapSharedWords();
    return words;
}

}  // namespace platform
