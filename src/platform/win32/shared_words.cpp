// The machine-wide trace words: a data section of their own that the image
// marks read, write and shared, so every process that has the DLL loaded
// sees the same two words.
#include "platform/shared_words.h"

namespace platform {
namespace {

#if defined(_MSC_VER)
#pragma data_seg(".shared")
// Must be initialised, or the compiler puts it in the ordinary zero data.
TraceWords sharedTraceWords = {0, 0};
#pragma data_seg()
#pragma comment(linker, "/SECTION:.shared,RWS")
#else
__attribute__((section(".shared"), shared)) TraceWords sharedTraceWords = {0, 0};
#endif

}  // namespace

volatile TraceWords* traceWords() { return &sharedTraceWords; }

}  // namespace platform
