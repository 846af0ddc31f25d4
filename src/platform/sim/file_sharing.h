// Who holds which path open, and with what sharing: an open that conflicts
// with a handle already open on the same path fails as Windows fails it.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Records an open of path; false (a sharing violation) when the access
// asked for is not shared by a handle already open on the path, or the
// sharing offered does not cover such a handle's access. Paths compare
// without regard to case or to the kind of slash.
bool claimPath(const std::string& path, uint32_t access, uint32_t shareMode, uint64_t* claim);
void releasePath(uint64_t claim);
// How many handles hold the path open.
int openCountOf(const std::string& path);

}  // namespace sim
