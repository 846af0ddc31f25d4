package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.vantorel.kestra.testing.OverBench;
import java.io.IOException;
import org.junit.jupiter.api.Test;

/**
 * Identical devices (same ids and texts, no serial number) plugged and
 * unplugged between refreshes, by rewriting the bench file: each keeps an
 * entry of its own, and a device found again can be opened where it is now.
 */
@OverBench("TwinDevicesTest.json")
class TwinDevicesTest {
    private static final String TWIN = "{\"vendorId\": \"0x1A2B\", \"productId\": \"0x0001\", "
            + "\"manufacturer\": \"Vantorel Labs\", \"product\": \"Kestra Loopback\", \"kind\": \"winusb\"}";
    private static final String OTHER = "{\"vendorId\": \"0x3E4F\", \"productId\": \"0x0107\", "
            + "\"manufacturer\": \"Nordlicht\", \"product\": \"Data Logger\", \"serialNumber\": \"NL-7\", "
            + "\"kind\": \"winusb\"}";
    private static final String RECORD = ":=1A2B:=0001:=0100:=Vantorel Labs:=Kestra Loopback:=?:=x:=b:=end";

    private static void plug(String... devices) throws IOException {
        BenchPorts.plug(7, devices);
    }

    private static void update(int list) {
        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(list, 0));
    }

    private static void assertOpens(int list, int index) {
        assertEquals(0, KESTRACommUSBAccess.usbOpenDevice(list, index), "device " + index);
        assertEquals(0, KESTRACommUSBAccess.usbCloseDevice(list, index));
    }

    @Test
    void twinsKeepAnEntryEachAndOpenWhereTheyAreNow() throws IOException {
        int handle = KESTRACommUSBAccess.usbInitialize();
        assertEquals(0, handle);
        int list = KESTRACommUSBAccess.usbCreateDeviceList(handle, 0x1A2B);
        assertEquals(0, list);
        assertEquals(2, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        update(list);
        assertEquals(2, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("1" + RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 1));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));

        // Three more plugged at once: three more entries, each of which opens.
        plug(TWIN, TWIN, TWIN, TWIN, TWIN);
        update(list);
        assertEquals(5, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        for (int i = 0; i < 5; i++) {
            assertOpens(list, i);
        }

        // The second twin is held open while the first goes and comes back
        // on another port, behind another device.
        assertEquals(0, KESTRACommUSBAccess.usbOpenDevice(list, 1));
        plug(null, TWIN, TWIN, TWIN, TWIN);
        update(list);
        assertEquals("0" + RECORD, KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("0" + RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 0));
        assertEquals("1" + RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 1));
        byte[] data = {1, 2, 3, 4};
        assertEquals(4, KESTRACommUSBAccess.usbWriteBulkPipe(list, 1, 1, 4, 1000, data));

        plug(OTHER, TWIN, TWIN, TWIN, TWIN, null, TWIN);
        update(list);
        assertEquals(5, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("1" + RECORD, KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertOpens(list, 0);
        byte[] back = new byte[4];
        assertEquals(4, KESTRACommUSBAccess.usbReadBulkPipe(list, 1, 1, 4, 1000, back));
        assertEquals(0, KESTRACommUSBAccess.usbCloseDevice(list, 1));

        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(list));
        assertEquals(0, KESTRACommUSBAccess.usbRelease(handle));
    }
}
