// A whole device session as the JVM drives it (list made, two devices
// opened, data moved both ways, descriptors read, devices closed, list
// released), over a JNI environment whose byte arrays are plain copies.
// Shared by the fault sweep and the soak: both check that whatever happens
// in between, the session leaves nothing behind.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/status_code.h"
#include "devlist/device_list_registry.h"
#include "jni/exports.h"
#include "session/open_device_table.h"

namespace sessiontest {

// A Java byte array: GetByteArrayElements hands out a copy, and mode 0
// copies it back and frees it, as HotSpot does.
struct JavaArray {
    std::vector<jbyte> bytes;
};

inline jbyte* JNICALL copyElements(JNIEnv*, jbyteArray array, jboolean*) {
    auto* a = reinterpret_cast<JavaArray*>(array);
    jbyte* copy = new jbyte[a->bytes.size() + 1];
    std::memcpy(copy, a->bytes.data(), a->bytes.size());
    return copy;
}

inline void JNICALL releaseElements(JNIEnv*, jbyteArray array, jbyte* elements, jint mode) {
    auto* a = reinterpret_cast<JavaArray*>(array);
    if (mode != JNI_ABORT) std::memcpy(a->bytes.data(), elements, a->bytes.size());
    delete[] elements;
}

inline jsize JNICALL lengthOf(JNIEnv*, jarray array) {
    return static_cast<jsize>(reinterpret_cast<JavaArray*>(array)->bytes.size());
}

class CopyingEnv {
public:
    CopyingEnv() {
        std::memset(&functions_, 0, sizeof functions_);
        functions_.GetByteArrayElements = copyElements;
        functions_.ReleaseByteArrayElements = releaseElements;
        functions_.GetArrayLength = lengthOf;
        env_.functions = &functions_;
    }
    JNIEnv* get() { return &env_; }

private:
    JNINativeInterface_ functions_;
    JNIEnv env_;
};

inline jbyteArray java(JavaArray& array) { return reinterpret_cast<jbyteArray>(&array); }

// What one session of runSession achieved; under a fault any step may fail.
struct SessionResult {
    bool listMade = false;
    bool bulkEchoed = false;  // what went out on the bulk pipe came back whole
    bool hidEchoed = false;   // the output report came back as an input report
};

// The positions of the first entries with these product ids, -1 if absent.
inline void findDevices(int32_t listId, uint16_t winUsbProduct, uint16_t hidProduct, int32_t* winUsb, int32_t* hid) {
    *winUsb = *hid = -1;
    for (int32_t i = 0; DeviceEntry* e = DeviceListRegistry::entryAt(listId, i); ++i) {
        if (e->productId == winUsbProduct && *winUsb < 0) *winUsb = i;
        if (e->productId == hidProduct && *hid < 0) *hid = i;
    }
}

// Opens both devices, moves data of `size` bytes through the bulk loopback
// (pipe 0x01 out, its pair in) and one 64-byte report through the HID
// device, reads a descriptor and closes both. Results are only recorded:
// under a fault, any of these may fail.
inline void useDevices(JNIEnv* env, int32_t listId, int32_t winUsb, int32_t hid, size_t size, SessionResult* result) {
    if (winUsb >= 0 && TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, winUsb) == Success) {
        JavaArray out{std::vector<jbyte>(size)};
        for (size_t i = 0; i < size; ++i) out.bytes[i] = static_cast<jbyte>(i * 7 + 3);
        JavaArray in{std::vector<jbyte>(size, 0)};
        jint length = static_cast<jint>(size);
        if (TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, listId, winUsb, 1, length, 500, java(out)) == length &&
            TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, listId, winUsb, 1, length, 500, java(in)) == length)
            result->bulkEchoed = in.bytes == out.bytes;
        JavaArray descriptor{std::vector<jbyte>(18, 0)};
        TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, winUsb, 1, 0, 18, java(descriptor));
        TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, winUsb);
    }
    if (hid >= 0 && TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid) == Success) {
        JavaArray report{std::vector<jbyte>(64)};
        for (size_t i = 0; i < 64; ++i) report.bytes[i] = static_cast<jbyte>(i + 11);
        JavaArray echoed{std::vector<jbyte>(64, 0)};
        if (TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, java(report)) == 65 &&
            TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, java(echoed)) == 65)
            result->hidEchoed = echoed.bytes == report.bytes;
        JavaArray product{std::vector<jbyte>(32, 0)};
        TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, hid, 3, 2, 32, java(product));
        TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, hid);
    }
}

// The whole session over a fresh list of the vendor's devices.
inline SessionResult runSession(JNIEnv* env, int32_t vendor, uint16_t winUsbProduct, uint16_t hidProduct,
                                size_t size = 300) {
    SessionResult result;
    int32_t listId = DeviceListRegistry::create(vendor);
    if (listId < 0) return result;
    result.listMade = true;
    int32_t winUsb = -1, hid = -1;
    findDevices(listId, winUsbProduct, hidProduct, &winUsb, &hid);
    useDevices(env, listId, winUsb, hid, size, &result);
    TAMBERLYX_METHOD(usbReleaseDeviceList)(env, nullptr, listId);
    return result;
}

}  // namespace sessiontest
