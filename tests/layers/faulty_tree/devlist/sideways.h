// Reaches across to the access layer, a sibling of the list layer.
#pragma once

#include "access/opened.h"
