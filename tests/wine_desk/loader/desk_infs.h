// The INF files that install the Wine desk's device nodes: one per setup
// class (an INF names one class), matching each node's first hardware id,
// with its description and its service. A service names the pass-through
// driver copied under that service's own file name; a node without a
// service is installed without a function driver. HidUsb is the desk's HID
// minidriver.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "desk_nodes.h"

namespace desk {

// The provider every desk INF names (its Strings section's Provider).
extern const char* const kDeskProvider;

// Setup class -> INF text. Nodes of a class this table does not know are
// left out and named in *unknownClasses.
std::map<std::string, std::string> deskInfs(const std::vector<DeskNode>& nodes, std::vector<std::string>* unknownClasses);

// The GUID of a setup class ("{...}"), or "" when unknown.
std::string classGuid(const std::string& setupClass);

// The file, in the drivers directory, that serves a service.
std::string passThroughFile(const std::string& service);

// Whether the HID minidriver serves a service (HidUsb), rather than the
// pass-through driver.
bool servedByHidMinidriver(const std::string& service);

}  // namespace desk
