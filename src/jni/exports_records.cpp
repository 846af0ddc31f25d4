// usbGetDeviceInfo and usbGetChangeInfo: one-line description records.
#include "jni/description_record.h"
#include "jni/exports.h"
#include "session/session.h"

extern "C" {

JNIEXPORT jstring JNICALL TAMBERLYX_METHOD(usbGetDeviceInfo)(JNIEnv* env, jclass, jint listId, jint index) {
    return deviceInfoString(env, Session::entryAt(listId, index));
}

JNIEXPORT jstring JNICALL TAMBERLYX_METHOD(usbGetChangeInfo)(JNIEnv* env, jclass, jint listId, jint selector) {
    return deviceInfoString(env, Session::takeChange(listId, selector));
}

}  // extern "C"
