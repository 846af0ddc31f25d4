// Windows error codes the simulated machine answers with that the library
// itself never names; the codes it names are in platform/types.h. Each code
// is declared once, in one of the two.
#pragma once

#include <cstdint>

namespace sim {

constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorBadCommand = 22;
// A driver's warning that its answer did not all fit (STATUS_BUFFER_OVERFLOW):
// as a knob's error, the answer is still written and the call fails with it.
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoAccess = 998;  // an address the caller cannot use
constexpr uint32_t kErrorInvalidWindowHandle = 1400;
constexpr uint32_t kErrorCannotFindWndClass = 1407;
constexpr uint32_t kErrorWindowOfOtherThread = 1408;
constexpr uint32_t kErrorInvalidUserBuffer = 1784;

}  // namespace sim
