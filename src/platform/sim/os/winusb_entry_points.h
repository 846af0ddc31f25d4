// The entry points "winusb.dll" exports on the simulated machine.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sim {

std::vector<std::pair<std::string, void*>> winUsbEntryPoints();

}  // namespace sim
