// A whole device session as the JVM drives it (list made, two devices
// opened, data moved both ways, descriptors read, devices closed, list
// released), over the tests' JNI environment, which hands out copies of
// arrays as the JVM does.
// Shared by the fault sweep and the soak: both check that whatever happens
// in between, the session leaves nothing behind.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "base/status_code.h"
#include "devlist/device_list_registry.h"
#include "fake_jvm.h"
#include "jni/exports.h"
#include "session/open_device_table.h"

namespace testsupport {

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
inline void useDevices(FakeJvm& jvm, int32_t listId, int32_t winUsb, int32_t hid, size_t size, SessionResult* result) {
    JNIEnv* env = jvm.env();
    if (winUsb >= 0 && TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, winUsb) == Success) {
        std::vector<jbyte> pattern(size);
        for (size_t i = 0; i < size; ++i) pattern[i] = static_cast<jbyte>(i * 7 + 3);
        jbyteArray out = jvm.newByteArray(pattern);
        jbyteArray in = jvm.newByteArray(std::vector<jbyte>(size, 0));
        jint length = static_cast<jint>(size);
        if (TAMBERLYX_METHOD(usbWriteBulkPipe)(env, nullptr, listId, winUsb, 1, length, 500, out) == length &&
            TAMBERLYX_METHOD(usbReadBulkPipe)(env, nullptr, listId, winUsb, 1, length, 500, in) == length)
            result->bulkEchoed = jvm.bytesOf(in) == jvm.bytesOf(out);
        jbyteArray descriptor = jvm.newByteArray(std::vector<jbyte>(18, 0));
        TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, winUsb, 1, 0, 18, descriptor);
        TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, winUsb);
    }
    if (hid >= 0 && TAMBERLYX_METHOD(usbOpenDevice)(env, nullptr, listId, hid) == Success) {
        std::vector<jbyte> sent(64);
        for (size_t i = 0; i < 64; ++i) sent[i] = static_cast<jbyte>(i + 11);
        jbyteArray report = jvm.newByteArray(sent);
        jbyteArray echoed = jvm.newByteArray(std::vector<jbyte>(64, 0));
        if (TAMBERLYX_METHOD(usbWriteInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, report) == 65 &&
            TAMBERLYX_METHOD(usbReadInterruptPipe)(env, nullptr, listId, hid, 0, 64, 500, echoed) == 65)
            result->hidEchoed = jvm.bytesOf(echoed) == jvm.bytesOf(report);
        jbyteArray product = jvm.newByteArray(std::vector<jbyte>(32, 0));
        TAMBERLYX_METHOD(usbGetDeviceDescriptor)(env, nullptr, listId, hid, 3, 2, 32, product);
        TAMBERLYX_METHOD(usbCloseDevice)(env, nullptr, listId, hid);
    }
}

// The whole session over a fresh list of the vendor's devices.
inline SessionResult runSession(FakeJvm& jvm, int32_t vendor, uint16_t winUsbProduct, uint16_t hidProduct,
                                size_t size = 300) {
    SessionResult result;
    int32_t listId = DeviceListRegistry::create(vendor);
    if (listId < 0) return result;
    result.listMade = true;
    int32_t winUsb = -1, hid = -1;
    findDevices(listId, winUsbProduct, hidProduct, &winUsb, &hid);
    useDevices(jvm, listId, winUsb, hid, size, &result);
    TAMBERLYX_METHOD(usbReleaseDeviceList)(jvm.env(), nullptr, listId);
    return result;
}

}  // namespace testsupport
