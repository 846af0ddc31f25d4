// Gives this test program machine-wide trace words of its own, so that its
// tests neither see nor disturb those of a running program or of another
// test process. The name must be set before the words are first mapped;
// the shared object is removed when the program ends.
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

const std::string& ownWordsName() {
    static const std::string name = "/tamberlyx-tests-" + std::to_string(getpid());
    return name;
}

void removeOwnWords() { shm_unlink(ownWordsName().c_str()); }

const bool installed = [] {
    setenv("TAMBERLYX_SIM_SHM", ownWordsName().c_str(), 1);
    std::atexit(removeOwnWords);
    return true;
}();

}  // namespace
#endif
