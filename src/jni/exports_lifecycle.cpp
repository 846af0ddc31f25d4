// usbInitialize and usbRelease: handing out and taking back the access handle.
#include "jni/exports.h"
#include "session/session.h"

extern "C" {

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbInitialize)(JNIEnv*, jclass) { return Session::initialize(); }

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbRelease)(JNIEnv*, jclass, jint handle) { return Session::release(handle); }

}  // extern "C"
