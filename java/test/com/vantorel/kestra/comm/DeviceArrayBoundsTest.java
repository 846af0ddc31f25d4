package com.vantorel.kestra.comm;

import static com.vantorel.kestra.testing.BenchExtension.handle;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import java.util.function.ToIntFunction;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Every device method that takes an array, on open devices of the built-in
 * bench, with a null array, an array too short, a negative length and a
 * length larger than the array allows: each is refused with the method's
 * failure value, the array is left exactly as it was, and the checked JVM
 * reports nothing.
 */
@OverBench(initialized = true)
class DeviceArrayBoundsTest {
    private static final int TRANSFER_FAILED = -112;
    private static final int READ_FAILED = -113;
    private static final int NO_SUCH_DEVICE = -114;

    private static int list;
    private static int loopback;
    private static int hid;

    @BeforeAll
    static void openTheDevices() {
        list = KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0x1A2B);
        assertTrue(list >= 0, "list id " + list);
        loopback = DeviceSessionTest.indexOf(list, "Kestra Loopback");
        hid = DeviceSessionTest.indexOf(list, "Kestra HID Echo");
        assertEquals(0, KESTRACommUSBAccess.usbOpenDevice(list, loopback));
        assertEquals(0, KESTRACommUSBAccess.usbOpenDevice(list, hid));
    }

    @AfterAll
    static void closeTheDevices() {
        assertEquals(0, KESTRACommUSBAccess.usbCloseDevice(list, loopback));
        assertEquals(0, KESTRACommUSBAccess.usbCloseDevice(list, hid));
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(list));
    }

    /** Calls the method on an array of the given size and checks result and bytes. */
    private static void expectRefused(String what, int size, int expected, ToIntFunction<byte[]> method) {
        byte[] data = DeviceSessionTest.pattern(size, size * 3 + 1);
        assertEquals(expected, method.applyAsInt(data), what);
        assertArrayEquals(DeviceSessionTest.pattern(size, size * 3 + 1), data, what + ": array changed");
    }

    @Test
    void nullArraysAreRefused() {
        assertEquals(TRANSFER_FAILED, KESTRACommUSBAccess.usbWriteControlPipe(list, loopback, 0, 0, null));
        assertEquals(READ_FAILED, KESTRACommUSBAccess.usbReadControlPipe(list, loopback, 0, 0, null));
        assertEquals(TRANSFER_FAILED, KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, 1, 0, 100, null));
        assertEquals(TRANSFER_FAILED, KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, 0, 100, null));
        assertEquals(TRANSFER_FAILED, KESTRACommUSBAccess.usbWriteInterruptPipe(list, hid, 0, 64, 100, null));
        assertEquals(READ_FAILED, KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, 64, 100, null));
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 1, 0, 18, null));
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 3, 2, 0, null));
    }

    @Test
    void arraysShorterThanTheRequestAreRefusedUnchanged() {
        expectRefused("control write", 8 + 9, TRANSFER_FAILED,
                d -> KESTRACommUSBAccess.usbWriteControlPipe(list, loopback, 10, 0, d));
        expectRefused("control read", 8 + 9, READ_FAILED,
                d -> KESTRACommUSBAccess.usbReadControlPipe(list, loopback, 10, 0, d));
        expectRefused("control without a setup packet", 7, TRANSFER_FAILED,
                d -> KESTRACommUSBAccess.usbWriteControlPipe(list, loopback, 0, 0, d));
        expectRefused("bulk write", 31, TRANSFER_FAILED,
                d -> KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, 1, 32, 100, d));
        expectRefused("bulk read", 31, TRANSFER_FAILED,
                d -> KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, 32, 100, d));
        expectRefused("report write", 63, TRANSFER_FAILED,
                d -> KESTRACommUSBAccess.usbWriteInterruptPipe(list, hid, 0, 16, 100, d));
        expectRefused("report read", 63, READ_FAILED,
                d -> KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, 16, 100, d));
        expectRefused("device descriptor", 17, NO_SUCH_DEVICE,
                d -> KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 1, 0, 18, d));
        expectRefused("string", 9, NO_SUCH_DEVICE,
                d -> KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 3, 2, 10, d));
        expectRefused("empty array", 0, TRANSFER_FAILED,
                d -> KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, 1, 1, 100, d));
    }

    @Test
    void negativeLengthsAreRefusedUnchanged() {
        for (int length : new int[] {-1, -8, Integer.MIN_VALUE}) {
            expectRefused("control write " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbWriteControlPipe(list, loopback, length, 0, d));
            expectRefused("control read " + length, 64, READ_FAILED,
                    d -> KESTRACommUSBAccess.usbReadControlPipe(list, loopback, length, 0, d));
            expectRefused("bulk write " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, 1, length, 100, d));
            expectRefused("bulk read " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, length, 100, d));
            expectRefused("report write " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbWriteInterruptPipe(list, hid, 0, length, 100, d));
            expectRefused("report read " + length, 64, READ_FAILED,
                    d -> KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, length, 100, d));
            // A bound below 1 has no room for any byte: nothing is written, and that succeeds.
            expectRefused("string " + length, 64, 0,
                    d -> KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 3, 2, length, d));
        }
    }

    @Test
    void oversizedLengthsAreRefusedUnchanged() {
        for (int length : new int[] {65, 1000, Integer.MAX_VALUE}) {
            expectRefused("control write " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbWriteControlPipe(list, loopback, length, 0, d));
            expectRefused("control read " + length, 64, READ_FAILED,
                    d -> KESTRACommUSBAccess.usbReadControlPipe(list, loopback, length, 0, d));
            expectRefused("bulk write " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, 1, length, 100, d));
            expectRefused("bulk read " + length, 64, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, length, 100, d));
            // A report holds 64 data bytes, however large the array.
            expectRefused("report write " + length, 4096, TRANSFER_FAILED,
                    d -> KESTRACommUSBAccess.usbWriteInterruptPipe(list, hid, 0, length, 100, d));
            expectRefused("report read " + length, 4096, READ_FAILED,
                    d -> KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, length, 100, d));
            expectRefused("string " + length, 64, NO_SUCH_DEVICE,
                    d -> KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 3, 2, length, d));
        }
    }
}
