// tamberlyx_bench show: a bench as a tree of controllers, hubs and ports,
// each device with its ids, texts, service and HID interfaces, and what the
// library lists for it (its record, walked over the bench) or why nothing.
#pragma once

#include <string>

// Prints the tree of the bench at `path`; vendor >= 0 shows that vendor's
// devices only (and the hubs they sit behind). With warningsOnly, prints
// instead one warning per device that is not a hub and will not be listed,
// with the reason. 0, or 1 with the reason on the standard error stream
// when the bench is refused.
int showBench(const std::string& path, int vendor, bool warningsOnly = false);
