// The device methods: open and close a listed device, and the operations on
// an open one, reached through the session's table of open devices. Here the
// caller's arrays are pinned for the length of one operation.
#include "base/status_code.h"
#include "jni/exports.h"
#include "session/session.h"

namespace {

// Pins the caller's array for the length of one device operation and gives
// it back in mode 0, which copies the bytes into the Java array. A null
// array is never pinned: the operation sees no bytes and refuses.
class PinnedBytes {
public:
    PinnedBytes(JNIEnv* env, jbyteArray array) : env_(env), array_(array) {
        if (array_ == nullptr) return;
        elements_ = env_->GetByteArrayElements(array_, nullptr);
        if (elements_ != nullptr) length_ = env_->GetArrayLength(array_);
    }
    ~PinnedBytes() {
        if (elements_ != nullptr) env_->ReleaseByteArrayElements(array_, elements_, 0);
    }
    PinnedBytes(const PinnedBytes&) = delete;
    PinnedBytes& operator=(const PinnedBytes&) = delete;

    uint8_t* bytes() const { return reinterpret_cast<uint8_t*>(elements_); }
    int32_t length() const { return length_; }

private:
    JNIEnv* env_;
    jbyteArray array_;
    jbyte* elements_ = nullptr;
    int32_t length_ = 0;
};

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbOpenDevice)(JNIEnv*, jclass, jint listId, jint index) {
    return Session::openDevice(listId, index);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCloseDevice)(JNIEnv*, jclass, jint listId, jint index) {
    return Session::closeDevice(listId, index);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbResetDevice)(JNIEnv*, jclass, jint listId, jint index) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    return entry == nullptr ? NoSuchDevice : entry->reset();
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbWriteControlPipe)(JNIEnv* env, jclass, jint listId, jint index,
                                                             jint length, jint unused, jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->writeControlPipe(length, unused, bytes.bytes(), bytes.length());
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReadControlPipe)(JNIEnv* env, jclass, jint listId, jint index,
                                                            jint length, jint unused, jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->readControlPipe(length, unused, bytes.bytes(), bytes.length());
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbWriteBulkPipe)(JNIEnv* env, jclass, jint listId, jint index, jint pipe,
                                                          jint length, jint timeout, jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->writeBulkPipe(pipe, length, timeout, bytes.bytes(), bytes.length());
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReadBulkPipe)(JNIEnv* env, jclass, jint listId, jint index, jint pipe,
                                                         jint length, jint timeout, jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->readBulkPipe(pipe, length, timeout, bytes.bytes(), bytes.length());
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbWriteInterruptPipe)(JNIEnv* env, jclass, jint listId, jint index,
                                                               jint pipe, jint length, jint timeout,
                                                               jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->writeInterruptPipe(pipe, length, timeout, bytes.bytes(), bytes.length());
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbReadInterruptPipe)(JNIEnv* env, jclass, jint listId, jint index,
                                                              jint pipe, jint length, jint timeout,
                                                              jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->readInterruptPipe(pipe, length, timeout, bytes.bytes(), bytes.length());
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbCancelPipeTransfer)(JNIEnv*, jclass, jint listId, jint index,
                                                               jint pipe) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    return entry == nullptr ? NoSuchDevice : entry->cancelPipeTransfer(pipe);
}

JNIEXPORT jint JNICALL TAMBERLYX_METHOD(usbGetDeviceDescriptor)(JNIEnv* env, jclass, jint listId, jint index,
                                                                jint descriptorType, jint stringKind, jint length,
                                                                jbyteArray data) {
    DeviceEntry* entry = Session::openedDevice(listId, index);
    if (entry == nullptr) return NoSuchDevice;
    PinnedBytes bytes(env, data);
    return entry->getDescriptor(bytes.bytes(), bytes.length(), descriptorType, stringKind, length);
}

}  // extern "C"
