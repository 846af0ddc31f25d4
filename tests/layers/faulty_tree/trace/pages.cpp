#include "trace/pages.h"

#include "trace/ring.h"
