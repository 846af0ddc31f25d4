// Description records: not formatted yet; every record is empty.
#include "jni/description_record.h"

void formatDescriptionRecord(const DeviceEntry&, char (&buffer)[kDescriptionRecordSize]) { buffer[0] = '\0'; }

std::u16string recordToUtf16(const char*) { return std::u16string(); }

jstring deviceInfoString(JNIEnv* env, const DeviceEntry*) { return env->NewStringUTF(""); }

jstring changeInfoString(JNIEnv* env, DeviceEntry*) { return env->NewStringUTF(""); }
