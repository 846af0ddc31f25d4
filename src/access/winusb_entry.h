// Whether a WinUSB entry point may be called. An entry point is usable only
// while the table holds the module it came from: the table is emptied when
// the module is given back (after a failed monitor start), and a name that
// was not found is null. Unusable entry points answer as this error.
#pragma once

#include "access/winusb_api.h"
#include "platform/types.h"

constexpr uint32_t kMissingEntryPointError = platform::kErrorProcNotFound;

// The entry point, or null when it must not be called.
template <typename EntryPoint>
EntryPoint usableEntryPoint(EntryPoint entryPoint) {
    return winUsbApi.module != nullptr ? entryPoint : nullptr;
}
