// The hubs the current walk has entered, by name. In a real USB tree every
// hub sits on exactly one port; hub names that lead to a hub a second time
// (back up the tree, or across to another branch) would make the walk
// endless or list devices twice, so a hub is walked once per walk.
#pragma once

#include <cstddef>

// True when a hub of this name (ASCII case ignored, as the system compares
// object names) has been entered in this walk.
bool hubAlreadyWalked(const char* name);
// Records the name; false when it cannot be recorded.
bool rememberWalkedHub(const char* name, size_t length);
// Forgets every name (the start of each walk).
void forgetWalkedHubs();
