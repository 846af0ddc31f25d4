// Length-bounded operations on narrow text, used to measure names and to
// build hub paths. Sizes count characters including the terminating zero.
// Results are the Windows HRESULT values; callers only test for negative.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kTextOk = 0;
constexpr int32_t kTextInvalidArgument = static_cast<int32_t>(0x80070057u);      // E_INVALIDARG
constexpr int32_t kTextInsufficientBuffer = static_cast<int32_t>(0x8007007Au);  // text was cut

// Largest destination size or maximum, and largest count to copy or append.
constexpr size_t kTextMaxSize = 0x7FFFFFFF;
constexpr size_t kTextMaxCount = 0x7FFFFFFE;

// Counts the characters of text before its terminator, looking at no more
// than maximum characters. A null text, a maximum above kTextMaxSize, or no
// terminator within maximum characters is an invalid argument; length (when
// given) is then 0.
int32_t boundedLength(const char* text, size_t maximum, size_t* length);

// Copies at most count characters of source into destination (size
// characters in all) and terminates it; a cut copy keeps size - 1
// characters and returns kTextInsufficientBuffer.
int32_t boundedCopy(char* destination, size_t size, const char* source, size_t count);

// Appends at most count characters of source to the terminated text in
// destination (size characters in all), with the same cutting rule.
int32_t boundedAppend(char* destination, size_t size, const char* source, size_t count);
