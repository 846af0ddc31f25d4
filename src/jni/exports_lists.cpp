// The list methods: create, update, release and count device lists.
#include "jni/exports.h"
#include "session/session.h"

extern "C" {

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCreateDeviceList)(JNIEnv*, jclass, jint handle, jint vendorFilter) {
    return Session::createList(handle, vendorFilter);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbUpdateDeviceList)(JNIEnv*, jclass, jint listId, jint) {
    return Session::updateList(listId);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReleaseDeviceList)(JNIEnv*, jclass, jint listId) {
    return Session::releaseList(listId);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbGetDeviceListCount)(JNIEnv*, jclass, jint listId) {
    return Session::countEntries(listId);
}

}  // extern "C"
