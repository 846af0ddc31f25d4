// The machine-wide trace words. On Linux they live in POSIX shared memory,
// so every process that loads the library sees one counter and one flag;
// the object's name may be set with TAMBERLYX_SIM_SHM (tests use their own).
#include "platform/shared_words.h"

#include <cstdlib>
#include <string>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

volatile TraceWords* mapSharedWords() {
#if defined(__linux__)
    const char* configured = std::getenv("TAMBERLYX_SIM_SHM");
    std::string name = (configured != nullptr && *configured != '\0') ? configured : "/tamberlyx-trace-words";
    if (name[0] != '/') name = "/" + name;
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0666);
    if (fd >= 0) {
        void* words = MAP_FAILED;
        if (ftruncate(fd, sizeof(TraceWords)) == 0)
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
