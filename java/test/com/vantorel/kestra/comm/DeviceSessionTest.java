package com.vantorel.kestra.comm;

import static com.vantorel.kestra.testing.BenchExtension.handle;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import org.junit.jupiter.api.Test;

/**
 * A caller's whole session over the built-in bench: a list of one vendor's
 * devices, the WinUSB loopback and the HID echo device opened, data moved
 * through both, descriptors read, and everything closed and released.
 */
@OverBench(initialized = true)
class DeviceSessionTest {
    private static final int VENDOR = 0x1A2B;

    /** The index of the listed device whose record names the product. */
    static int indexOf(int listId, String product) {
        int count = KESTRACommUSBAccess.usbGetDeviceListCount(listId);
        for (int i = 0; i < count; i++) {
            if (KESTRACommUSBAccess.usbGetDeviceInfo(listId, i).contains(":=" + product + ":=")) return i;
        }
        throw new AssertionError("no " + product + " in list " + listId);
    }

    static byte[] pattern(int size, int seed) {
        byte[] bytes = new byte[size];
        for (int i = 0; i < size; i++) bytes[i] = (byte) (seed + i * 7);
        return bytes;
    }

    @Test
    void openTransferCloseAndRelease() {
        int list = KESTRACommUSBAccess.usbCreateDeviceList(handle(), VENDOR);
        assertTrue(list >= 0, "list id " + list);
        int loopback = indexOf(list, "Kestra Loopback");
        int hid = indexOf(list, "Kestra HID Echo");
        assertEquals(0, KESTRACommUSBAccess.usbOpenDevice(list, loopback));
        assertEquals(0, KESTRACommUSBAccess.usbOpenDevice(list, hid));
        assertEquals(-105, KESTRACommUSBAccess.usbOpenDevice(list, loopback));

        // Bulk: out on pipe 1, back in on pipe 1 (the IN endpoint 0x81).
        byte[] sent = pattern(512, 3);
        assertEquals(512, KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, 1, 512, 1000, sent));
        byte[] received = new byte[512];
        assertEquals(512, KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, 512, 1000, received));
        assertArrayEquals(sent, received);
        // Nothing more has come back: the read ends with its time-out.
        assertEquals(-112, KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, 16, 50, received));
        assertEquals(0, KESTRACommUSBAccess.usbCancelPipeTransfer(list, loopback, 0x81));

        // Control: a vendor request echoed, and the standard device descriptor.
        byte[] out = new byte[8 + 6];
        out[0] = 0x40;
        out[1] = 0x01;
        out[6] = 6;
        System.arraycopy("kestra".getBytes(StandardCharsets.US_ASCII), 0, out, 8, 6);
        assertEquals(6, KESTRACommUSBAccess.usbWriteControlPipe(list, loopback, 6, 0, out));
        byte[] in = new byte[8 + 6];
        in[0] = (byte) 0xC0;
        in[1] = 0x02;
        in[6] = 6;
        assertEquals(6, KESTRACommUSBAccess.usbReadControlPipe(list, loopback, 6, 0, in));
        assertEquals("kestra", new String(in, 8, 6, StandardCharsets.US_ASCII));
        byte[] get = new byte[8 + 18];
        get[0] = (byte) 0x80;
        get[1] = 0x06;
        get[3] = 0x01;
        get[6] = 18;
        assertEquals(18, KESTRACommUSBAccess.usbReadControlPipe(list, loopback, 18, 0, get));
        byte[] stored = new byte[18];
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, loopback, 1, 0, 18, stored));
        assertArrayEquals(stored, Arrays.copyOfRange(get, 8, 26));
        assertEquals(0x2B, stored[8] & 0xFF);
        assertEquals(0x1A, stored[9] & 0xFF);

        // HID: a full report out and the same 64 bytes back.
        byte[] report = pattern(64, 40);
        assertEquals(65, KESTRACommUSBAccess.usbWriteInterruptPipe(list, hid, 0, 64, 1000, report));
        byte[] echoed = new byte[64];
        assertEquals(65, KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, 64, 1000, echoed));
        assertArrayEquals(report, echoed);
        // Nothing more to read: the time-out, and the array as it was.
        long start = System.nanoTime();
        assertEquals(-7, KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, 64, 100, echoed));
        long elapsedMs = (System.nanoTime() - start) / 1_000_000;
        assertTrue(elapsedMs >= 90 && elapsedMs < 1000, elapsedMs + " ms");
        assertArrayEquals(report, echoed);

        byte[] text = new byte[32];
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 3, 2, 32, text));
        assertEquals("Kestra HID Echo", new String(text, 0, 15, StandardCharsets.US_ASCII));
        assertEquals(0, text[15]);
        assertEquals(-120, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, hid, 5, 0, 32, text));
        assertEquals(0, KESTRACommUSBAccess.usbResetDevice(list, hid));

        assertEquals(0, KESTRACommUSBAccess.usbCloseDevice(list, loopback));
        assertEquals(0, KESTRACommUSBAccess.usbCloseDevice(list, hid));
        assertEquals(-114, KESTRACommUSBAccess.usbCloseDevice(list, hid));
        assertEquals(-114, KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, 1, 16, 50, received));
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(list));
    }
}
