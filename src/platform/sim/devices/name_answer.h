// The answer to a name request of the hub and host-controller drivers.
#pragma once

#include <string>

#include "platform/sim/model/machine.h"
#include "platform/sim/devices/request_buffer.h"

namespace sim {

// The structure is a fixed part (4 bytes of ActualLength, or 8 with the
// connection index in front) followed by the UTF-16 text. ActualLength is
// the size of the whole structure with the text and its terminator. A
// buffer too short for that gets the fixed part only, and the request still
// succeeds with the size of the bare structure as its byte count. A knob
// failing with ERROR_MORE_DATA is the driver's warning: the answer is
// written all the same.
uint32_t answerName(BufferedRequest& request, uint32_t fixedSize, const std::string& name, const NameAnswer& knob);

}  // namespace sim
