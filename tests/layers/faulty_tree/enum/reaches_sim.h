// Reaches into the simulated platform's own headers.
#pragma once

#include "platform/sim/model.h"
