// The optional configuration file beside the library: the library's own
// module path with its extension replaced by "cfg", one keyword per line.
#pragma once

// Keyword that selects the fixed device interface class.
extern const char* const kKeywordUseInfGuid;  // "useinfguid"

// 1 when a line of the configuration file, with ASCII capitals lowered and
// cut at its first line end, equals keyword (lower case); else 0. The file
// is read anew on each call.
int configHasKeyword(const char* keyword);
