#include "platform/sim/devices/name_answer.h"

#include <algorithm>

#include "platform/types.h"
#include "platform/sim/model/text.h"

namespace sim {

uint32_t answerName(BufferedRequest& request, uint32_t fixedSize, const std::string& name, const NameAnswer& knob) {
    if (knob.failWith != 0) return knob.failWith;
    if (request.outSize < fixedSize + 2) return platform::kErrorInsufficientBuffer;
    std::u16string text = utf8ToUtf16(name);
    text.push_back(0);
    uint32_t actual = fixedSize + static_cast<uint32_t>(2 * text.size());
    request.write(fixedSize - 4, knob.actualLength.value_or(actual));
    if (request.outSize < actual) {
        // The driver writes ActualLength and reports the size of the bare
        // structure (its fixed part and one character, padded to 4 bytes) as
        // the byte count (Microsoft Learn, IOCTL_USB_GET_NODE_CONNECTION_NAME:
        // "the output buffer is too small ... returns the size needed in
        // ActualLength").
        uint32_t structure = (fixedSize + 2 + 3) & ~3u;
        request.bytesReturned = std::min(structure, request.outSize);
        return 0;
    }
    request.write(fixedSize, text.data(), 2 * text.size());
    request.bytesReturned = knob.bytesReturned.value_or(actual);
    return 0;
}

}  // namespace sim
