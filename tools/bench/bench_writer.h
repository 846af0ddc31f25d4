// Writing a machine model as a bench file that reads back as the same
// machine: every name, path, property, descriptor and fault spelled out.
#pragma once

#include <string>

#include "platform/sim/model/machine.h"

namespace bench_tool {

std::string writeBench(const sim::Machine& machine);

}  // namespace bench_tool
