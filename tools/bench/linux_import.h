// Linux machines as benches: the USB tree of a sysfs tree, or of a
// recording in the text format umockdev-record writes.
#pragma once

#include <string>

namespace bench_tool {

// False with *error set when the source cannot be read or holds no USB tree.
bool importSysfs(const std::string& root, std::string* bench, std::string* error);
bool importUmockdev(const std::string& file, std::string* bench, std::string* error);
// A recording's text; `file` names it in messages.
bool importUmockdevText(const std::string& text, const std::string& file, std::string* bench, std::string* error);

}  // namespace bench_tool
