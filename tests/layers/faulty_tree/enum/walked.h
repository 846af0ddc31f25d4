// Reaches up to the list layer.
#pragma once

#include "devlist/listed.h"
