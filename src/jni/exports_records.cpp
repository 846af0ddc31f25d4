// usbGetDeviceInfo and usbGetChangeInfo: one-line description records.
#include "devlist/device_list_registry.h"
#include "jni/description_record.h"
#include "jni/exports.h"

extern "C" {

JNIEXPORT jstring JNICALL TAMBERLYX_METHOD(usbGetDeviceInfo)(JNIEnv* env, jclass, jint listId, jint index) {
    return deviceInfoString(env, DeviceListRegistry::entryAt(listId, index));
}

JNIEXPORT jstring JNICALL TAMBERLYX_METHOD(usbGetChangeInfo)(JNIEnv* env, jclass, jint listId, jint selector) {
    return changeInfoString(env, DeviceListRegistry::findChange(listId, selector));
}

}  // extern "C"
