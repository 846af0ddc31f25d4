// Description records: one line of text per device entry, handed to the JVM
// as UTF-16. The texts of an entry are narrow bytes that need not be UTF-8
// (a Latin-1 letter is kept as one byte), so every record goes through the
// system's UTF-8 converter, which turns such bytes into U+FFFD, before the
// JVM sees it.
#include "jni/description_record.h"

#include <cstdio>
#include <cstring>

#include "platform/kernel.h"

namespace {

// A list entry always holds its three description texts; a missing one is
// shown as a device without that string would show it.
const char* textOrMark(const char* text) { return text == nullptr ? "?" : text; }

jstring toJavaString(JNIEnv* env, const char* record) {
    std::u16string units = recordToUtf16(record);
    return env->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(units.size()));
}

}  // namespace

void formatDescriptionRecord(const DeviceEntry& entry, char (&buffer)[kDescriptionRecordSize]) {
    std::memset(buffer, 0, sizeof buffer);
    std::snprintf(buffer, sizeof buffer, "%d:=%04X:=%04X:=%04X:=%s:=%s:=%s:=%s:=%s:=end", entry.present,
                  static_cast<unsigned>(entry.vendorId), static_cast<unsigned>(entry.productId),
                  static_cast<unsigned>(entry.bcdDevice), textOrMark(entry.manufacturerDescription),
                  textOrMark(entry.deviceDescription), textOrMark(entry.serialNumber),
                  entry.driverSupported == 1 ? "x" : "o", entry.isHid != 0 ? "h" : "b");
}

std::u16string recordToUtf16(const char* record) {
    if (record == nullptr) return std::u16string();
    const size_t length = std::strlen(record);
    if (length == 0) return std::u16string();
    const int32_t bytes = static_cast<int32_t>(length);
    const int32_t needed = platform::MultiByteToWideChar(platform::kCpUtf8, 0, record, bytes, nullptr, 0);
    if (needed <= 0) return std::u16string();
    std::u16string units(static_cast<size_t>(needed), u'\0');
    const int32_t written = platform::MultiByteToWideChar(platform::kCpUtf8, 0, record, bytes, &units[0], needed);
    if (written <= 0) return std::u16string();
    units.resize(static_cast<size_t>(written));
    return units;
}

jstring deviceInfoString(JNIEnv* env, const DeviceEntry* entry) {
    char buffer[kDescriptionRecordSize] = {};
    if (entry != nullptr) formatDescriptionRecord(*entry, buffer);
    return toJavaString(env, buffer);
}
