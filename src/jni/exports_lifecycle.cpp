// usbInitialize and usbRelease: handing out and taking back the access handle.
#include "access/win_usb_api.h"
#include "jni/access_handle.h"
#include "jni/exports.h"
#include "jni/status_code.h"

int32_t accessHandle = -1;

extern "C" {

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbInitialize)(JNIEnv*, jclass) {
    if (accessHandle != -1) return AlreadyInitialized;
    int32_t result = initializeDeviceAccess(&winUsbApi);
    if (result < 0) return result;
    accessHandle = 0;
    return accessHandle;
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbRelease)(JNIEnv*, jclass, jint handle) {
    if (handle != accessHandle) return BadHandle;
    accessHandle = -1;
    return Success;
}

}  // extern "C"
