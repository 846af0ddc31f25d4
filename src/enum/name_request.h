// The two-step name request of the USB drivers: a first request with a
// buffer that holds only the answer's head learns the size, a second with a
// buffer of that size brings the name (UTF-16), which is narrowed.
#pragma once

#include <cstdint>

#include "platform/types.h"

// The two shapes of answer head.
enum class NameHead {
    // ActualLength (4 bytes) then the name: ActualLength counts the whole
    // answer, head included (root hub and host-controller driver key names).
    WholeAnswerLength,
    // ConnectionIndex, ActualLength, then the name: ActualLength counts the
    // name, and the port goes out in ConnectionIndex (names on a hub port).
    ConnectionName,
};

struct NameRequest {
    uint32_t ioctl;
    NameHead head;
    uint32_t port;  // ConnectionName only
    // Whether the request sends its buffer as input too; the root hub name
    // request sends none.
    bool sendsBuffer;
    // WholeAnswerLength only: the smallest ActualLength taken. A driver key
    // name must hold more than its head; a root hub name of only its head
    // (no text at all) is still taken, and the narrowing makes it empty.
    uint32_t smallestWholeAnswer;
};

// What the trace shows of each way the request can end. A null tag is not
// written; each "with" flag adds a code after its tag.
struct NameRequestTrace {
    const char* sizeRequestFailed;
    bool withSizeRequestError;  // GetLastError()
    const char* sizeRefused;
    bool withRefusedLength;  // the ActualLength refused
    const char* noMemory;
    const char* nameRequestFailed;
    bool withNameRequestError;  // GetLastError()
    const char* answered;
    const char* nameWhenNull;  // written as "<name>==null" after answered when no name came back
};

// The name as narrow text from the process heap (release with
// platform::HeapFreeBlock), or null.
char* requestDriverName(platform::Handle device, const NameRequest& request, const NameRequestTrace& trace);

// Largest name answer accepted from a driver: a counted system string holds
// at most 64 KiB, so a larger ActualLength can only be a faulty answer.
constexpr uint32_t kLargestNameAnswer = 0x10000;

// Narrows the UTF-16 name that starts textOffset bytes into an answer of
// size bytes (process-heap form of wcstcs). The last whole code unit of the
// answer is made the terminator first, so an answer that fills its buffer
// cannot lead the narrowing past it.
char* narrowNameAnswer(uint8_t* answer, uint32_t size, uint32_t textOffset);
