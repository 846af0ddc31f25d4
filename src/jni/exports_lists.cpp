// The list methods: create, update, release and count device lists.
#include "devlist/device_list_registry.h"
#include "jni/access_handle.h"
#include "jni/exports.h"
#include "jni/open_device_table.h"
#include "jni/status_code.h"

extern "C" {

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCreateDeviceList)(JNIEnv*, jclass, jint handle, jint vendorFilter) {
    if (handle != accessHandle) return BadHandle;
    return DeviceListRegistry::create(vendorFilter);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbUpdateDeviceList)(JNIEnv*, jclass, jint listId, jint) {
    return DeviceListRegistry::update(listId);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReleaseDeviceList)(JNIEnv*, jclass, jint listId) {
    // Devices still open are closed first, so the table never refers to
    // entries that the release frees (list ids are never reused, so what
    // the table holds under this id belongs to this list).
    closeOpenDevicesOfList(listId);
    return DeviceListRegistry::release(listId);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbGetDeviceListCount)(JNIEnv*, jclass, jint listId) {
    jint count = 0;
    for (DeviceEntry* entry = DeviceListRegistry::nextEntry(listId, nullptr); entry != nullptr;
         entry = DeviceListRegistry::nextEntry(listId, entry))
        ++count;
    return count;
}

}  // extern "C"
