// The process heap and the C-runtime allocator, each with its own record of
// live blocks, so that a leak, a double release or a release into the wrong
// family is caught where it happens.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/crt.h"
#include "platform/kernel.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"

namespace {

struct BlockFamily {
    const char* name;
    std::atomic<int64_t>& counter;
    std::mutex lock;
    std::unordered_set<void*> live;

    void* allocate(size_t bytes) {
        void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
        if (block == nullptr) return nullptr;
        std::lock_guard<std::mutex> guard(lock);
        live.insert(block);
        ++counter;
        return block;
    }

    void release(void* block) {
        if (block == nullptr) return;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (live.erase(block) == 0) {
                std::fprintf(stderr, "simulated %s: release of a block it never gave out (%p)\n", name, block);
                std::abort();
            }
            --counter;
        }
        std::free(block);
    }
};

BlockFamily& processHeap() {
    static BlockFamily* family = new BlockFamily{"process heap", sim::liveCounters().heapBlocks, {}, {}};
    return *family;
}

BlockFamily& crtHeap() {
    static BlockFamily* family = new BlockFamily{"C runtime", sim::liveCounters().crtBlocks, {}, {}};
    return *family;
}

}  // namespace

namespace platform {

void* HeapAllocZero(size_t bytes) {
    if (sim::failHere("HeapAlloc")) return nullptr;
    return processHeap().allocate(bytes);
}

void HeapFreeBlock(void* block) { processHeap().release(block); }

void* crtAllocZero(size_t bytes) {
    if (sim::failHere("malloc")) return nullptr;
    return crtHeap().allocate(bytes);
}

char* crtDuplicate(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(crtAllocZero(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length);
    return copy;
}

void crtFree(void* block) { crtHeap().release(block); }

}  // namespace platform
