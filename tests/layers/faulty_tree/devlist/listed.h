// Closes the circle with the walk.
#pragma once

#include "enum/walked.h"
