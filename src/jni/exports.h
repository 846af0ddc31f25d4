// The 19 native methods of com.vantorel.kestra.comm.KESTRACommUSBAccess,
// exported under their Java Native Interface names and nothing else.
#pragma once

#include <jni.h>

#define TAMBERLYX_METHOD(name) Java_com_vantorel_kestra_comm_KESTRACommUSBAccess_##name

extern "C" {

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbInitialize)(JNIEnv* env, jclass peer);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbRelease)(JNIEnv* env, jclass peer, jint handle);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCreateDeviceList)(JNIEnv* env, jclass peer, jint handle, jint vendorFilter);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbUpdateDeviceList)(JNIEnv* env, jclass peer, jint listId, jint unused);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReleaseDeviceList)(JNIEnv* env, jclass peer, jint listId);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbGetDeviceListCount)(JNIEnv* env, jclass peer, jint listId);
JNIEXPORT jstring JNICALL TAMBERLYX_METHOD(usbGetDeviceInfo)(JNIEnv* env, jclass peer, jint listId, jint index);
JNIEXPORT jstring JNICALL TAMBERLYX_METHOD(usbGetChangeInfo)(JNIEnv* env, jclass peer, jint listId, jint selector);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbOpenDevice)(JNIEnv* env, jclass peer, jint listId, jint index);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCloseDevice)(JNIEnv* env, jclass peer, jint listId, jint index);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbResetDevice)(JNIEnv* env, jclass peer, jint listId, jint index);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbWriteControlPipe)(JNIEnv* env, jclass peer, jint listId, jint index, jint length,
                                           jint unused, jbyteArray data);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReadControlPipe)(JNIEnv* env, jclass peer, jint listId, jint index, jint length,
                                          jint unused, jbyteArray data);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbWriteBulkPipe)(JNIEnv* env, jclass peer, jint listId, jint index, jint pipe, jint length,
                                        jint timeout, jbyteArray data);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReadBulkPipe)(JNIEnv* env, jclass peer, jint listId, jint index, jint pipe, jint length,
                                       jint timeout, jbyteArray data);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbWriteInterruptPipe)(JNIEnv* env, jclass peer, jint listId, jint index, jint pipe,
                                             jint length, jint timeout, jbyteArray data);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReadInterruptPipe)(JNIEnv* env, jclass peer, jint listId, jint index, jint pipe,
                                            jint length, jint timeout, jbyteArray data);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCancelPipeTransfer)(JNIEnv* env, jclass peer, jint listId, jint index, jint pipe);
JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbGetDeviceDescriptor)(JNIEnv* env, jclass peer, jint listId, jint index,
                                              jint descriptorType, jint stringKind, jint length, jbyteArray data);

}  // extern "C"
