// The three fixed rules by which 16-bit (UTF-16LE) text from the system or a
// device becomes the library's narrow text. None is a code-page conversion:
// each keeps at most one byte per code unit, and each ends differently.
#pragma once

#include <cstddef>
#include <cstdint>

struct StringDescriptorNode;

// Low byte of every code unit, the terminator included, into L + 1 bytes
// (L = code units before the terminator): from the process heap when
// onProcessHeap is nonzero, else from the C runtime; null when the
// allocation fails. Release it with the matching release.
char* wcstcs(const char16_t* text, int onProcessHeap);

// Narrow copy for interface paths and HID texts: capacity bytes from the
// process heap, holding the nonzero low bytes of the code units up to the
// point where two zero bytes in a row (counting back down on nonzero bytes)
// end the text. Never writes past capacity - 1 bytes of text.
char* narrowCopy(const char16_t* text, size_t capacity);

constexpr size_t kDescriptorTextBufferSize = 512;

// The text of a string descriptor node into buffer (512 bytes): code units
// 0x0001 to 0x00FF as single bytes, ending before the first zero code unit
// or the first code unit above 0x00FF.
void narrowDescriptorText(const StringDescriptorNode* node, char* buffer);
