#include "enum/name_request.h"

#include <cstddef>
#include <cstring>

#include "enum/narrow_text.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

constexpr uint32_t kWholeAnswerHead = sizeof(platform::UsbActualLengthName);  // 6
constexpr uint32_t kConnectionHead = sizeof(platform::UsbConnectionName);     // 10

bool ask(platform::Handle device, const NameRequest& request, void* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    if (!request.sendsBuffer)
        return platform::DeviceIoControl(device, request.ioctl, nullptr, 0, buffer, size, returned, nullptr);
    return platform::DeviceIoControl(device, request.ioctl, buffer, size, buffer, size, returned, nullptr);
}

// The request's error is read before the tag is written: appending to the
// trace file sets the last error (ERROR_ALREADY_EXISTS).
void traceFailure(const char* tag, bool withError) {
    if (tag == nullptr) return;
    uint32_t error = platform::GetLastError();
    tracepoint::tag(tag);
    if (withError) tracepoint::code(error);
}

}  // namespace

char* narrowNameAnswer(uint8_t* answer, uint32_t size, uint32_t textOffset) {
    if (size < textOffset + 2) return nullptr;
    uint32_t units = (size - textOffset) / 2;
    uint8_t* lastUnit = answer + textOffset + 2 * (units - 1);
    lastUnit[0] = 0;
    lastUnit[1] = 0;
    return wcstcs(reinterpret_cast<const char16_t*>(answer + textOffset), 1);
}

char* requestDriverName(platform::Handle device, const NameRequest& request, const NameRequestTrace& trace) {
    const bool connection = request.head == NameHead::ConnectionName;
    const uint32_t headSize = connection ? kConnectionHead : kWholeAnswerHead;
    uint8_t head[kConnectionHead] = {};
    if (connection) std::memcpy(head, &request.port, sizeof request.port);  // ConnectionIndex
    uint32_t returned = 0;
    if (!ask(device, request, head, headSize, &returned)) {
        traceFailure(trace.sizeRequestFailed, trace.withSizeRequestError);
        return nullptr;
    }

    uint32_t actualLength;
    const size_t lengthAt = connection ? offsetof(platform::UsbConnectionName, ActualLength) : 0;
    std::memcpy(&actualLength, head + lengthAt, sizeof actualLength);
    // A connection answer is its head and ActualLength bytes of name (32-bit,
    // as the drivers count); the request of that size ends with a code unit
    // behind the whole name. A whole-answer length gets two zero bytes behind
    // it instead, so that an answer filling its buffer still ends its text.
    // Either way a length above the largest counted system string is a lie.
    const uint32_t requestSize = connection ? actualLength + kConnectionHead : actualLength;
    const bool refused = connection ? requestSize <= kConnectionHead || actualLength > kLargestNameAnswer
                                    : actualLength < request.smallestWholeAnswer || actualLength > kLargestNameAnswer;
    if (refused) {
        if (trace.sizeRefused != nullptr) tracepoint::tag(trace.sizeRefused);
        if (trace.withRefusedLength) tracepoint::code(actualLength);
        return nullptr;
    }
    const uint32_t allocated = connection ? requestSize : requestSize + 2;
    auto* answer = static_cast<uint8_t*>(platform::HeapAllocZero(allocated));
    if (answer == nullptr) {
        if (trace.noMemory != nullptr) tracepoint::tag(trace.noMemory);
        return nullptr;
    }
    if (connection) std::memcpy(answer, &request.port, sizeof request.port);
    if (!ask(device, request, answer, requestSize, &returned)) {
        traceFailure(trace.nameRequestFailed, trace.withNameRequestError);
        platform::HeapFreeBlock(answer);
        return nullptr;
    }
    const uint32_t nameAt = connection ? offsetof(platform::UsbConnectionName, Name)
                                       : offsetof(platform::UsbActualLengthName, Name);
    char* name = returned != 0 ? narrowNameAnswer(answer, allocated, nameAt) : nullptr;
    platform::HeapFreeBlock(answer);
    tracepoint::tag(trace.answered);
    tracepoint::text(name, trace.nameWhenNull);
    return name;
}
