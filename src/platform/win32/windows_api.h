// The Windows headers, included in one place for the real platform layer,
// and the conversions between the portable records and the system's own.
// Nothing outside this directory includes it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <winioctl.h>
#include <dbt.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include "platform/types.h"

namespace win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is 16 bits wide");
static_assert(sizeof(DWORD) == sizeof(uint32_t) && sizeof(ULONG) == sizeof(uint32_t), "DWORD is 32 bits");

inline const GUID* systemGuid(const platform::Guid* guid) { return reinterpret_cast<const GUID*>(guid); }
inline GUID* systemGuid(platform::Guid* guid) { return reinterpret_cast<GUID*>(guid); }

inline const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

inline OVERLAPPED* systemOverlapped(platform::Overlapped* overlapped) {
    return reinterpret_cast<OVERLAPPED*>(overlapped);
}

// Runs a call that reports a count through a DWORD out-parameter and copies
// the count to the caller's 32-bit place (which may be absent). A count the
// system leaves alone keeps the caller's value.
template <typename Call>
auto withCount(uint32_t* count, Call call) {
    DWORD value = count == nullptr ? 0 : *count;
    auto result = call(count == nullptr ? nullptr : &value);
    if (count != nullptr) *count = static_cast<uint32_t>(value);
    return result;
}

}  // namespace win32
