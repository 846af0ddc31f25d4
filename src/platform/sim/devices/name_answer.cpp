#include "platform/sim/devices/name_answer.h"

#include <algorithm>

#include "platform/types.h"
#include "platform/sim/model/text.h"

namespace sim {

uint32_t answerName(BufferedRequest& request, uint32_t fixedSize, const std::string& name, const NameAnswer& knob) {
    // A warning (ERROR_MORE_DATA) still writes the answer; any other error
    // fails the request before anything is written.
    if (knob.failWith != 0 && knob.failWith != kErrorMoreData) return knob.failWith;
    if (request.outSize < fixedSize + 2) return platform::kErrorInsufficientBuffer;
    std::u16string text = utf8ToUtf16(name);
    text.push_back(0);
    uint32_t actual = fixedSize + static_cast<uint32_t>(2 * text.size());
    request.write(fixedSize - 4, knob.actualLength.value_or(actual));
    if (request.outSize < actual) {
        // The request still succeeds: the driver writes ActualLength and
        // reports the size of the bare structure (its fixed part and one
        // character, padded to 4 bytes) as the byte count. Microsoft Learn
        // documents this for the family of name requests:
        // IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, status block
        // ("IoStatus.Information will be equal to
        // sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME)" when the buffer cannot
        // hold the whole answer, with STATUS_SUCCESS), and
        // IOCTL_GET_HCD_DRIVERKEY_NAME, remarks (a first request with the
        // bare structure succeeds and its ActualLength sizes the second).
        // IOCTL_USB_GET_NODE_CONNECTION_NAME and IOCTL_USB_GET_ROOT_HUB_NAME
        // use the same structure layout and are answered the same way.
        uint32_t structure = (fixedSize + 2 + 3) & ~3u;
        request.bytesReturned = std::min(structure, request.outSize);
        return knob.failWith;
    }
    request.write(fixedSize, text.data(), 2 * text.size());
    request.bytesReturned = knob.bytesReturned.value_or(actual);
    return knob.failWith;
}

}  // namespace sim
