// The answers of the simulated host-controller and hub drivers to their
// I/O controls. Each returns 0 when the request succeeds, else the error
// the call fails with; the machine is locked by the caller.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sim/model/machine_index.h"
#include "platform/sim/devices/request_buffer.h"

namespace sim {

uint32_t answerControllerRequest(HostController& controller, uint32_t code, BufferedRequest& request);
uint32_t answerHubRequest(Hub& hub, const MachineIndex& index, uint32_t code, BufferedRequest& request);

// A readable name of a request code, for the call journal.
std::string requestName(uint32_t code, TargetKind kind);

}  // namespace sim
