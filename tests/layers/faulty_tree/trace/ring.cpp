#include "trace/ring.h"

#include "trace/pages.h"
