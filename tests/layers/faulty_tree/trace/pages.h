// A module whose source needs the ring: with ring.cpp, a circle of modules
// that no header closes.
#pragma once
