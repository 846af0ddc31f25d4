// The one-line description record of a device entry, and its hand-over to
// the JVM as a string.
#pragma once

#include <jni.h>

#include <cstddef>
#include <string>

#include "base/device_entry.h"

constexpr size_t kDescriptionRecordSize = 512;

// Formats "%d:=%04X:=%04X:=%04X:=%s:=%s:=%s:=%s:=%s:=end" into buffer
// (zero-filled first, never overrun).
void formatDescriptionRecord(const DeviceEntry& entry, char (&buffer)[kDescriptionRecordSize]);

// The UTF-16 text of a record, converted as the system's UTF-8 converter
// does without flags (bytes that are not UTF-8 become U+FFFD).
std::u16string recordToUtf16(const char* record);

// The record of the entry as a Java string (the empty string when there is
// no entry).
jstring deviceInfoString(JNIEnv* env, const DeviceEntry* entry);
