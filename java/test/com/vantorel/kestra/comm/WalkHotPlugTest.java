package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import java.io.IOException;
import org.junit.jupiter.api.Test;

/**
 * Devices unplugged, plugged back and plugged anew between refreshes of a
 * list, by rewriting the bench file the simulated machine runs on: a
 * device that went keeps its index and is reported once as gone, and once
 * as back; a new device is appended without a change record.
 */
@OverBench("WalkHotPlugTest.json")
class WalkHotPlugTest {
    private static final String LOOPBACK = "{\"vendorId\": \"0x1A2B\", \"productId\": \"0x0001\", "
            + "\"manufacturer\": \"Vantorel Labs\", \"product\": \"Kestra Loopback\", \"serialNumber\": \"KL-1\", "
            + "\"kind\": \"winusb\"}";
    private static final String HID_ECHO = "{\"vendorId\": \"0x1A2B\", \"productId\": \"0x0002\", "
            + "\"release\": \"0x0200\", \"manufacturer\": \"Vantorel Labs\", \"product\": \"Kestra HID Echo\", "
            + "\"serialNumber\": \"KH-2\", \"kind\": \"hid\"}";
    private static final String LOGGER = "{\"vendorId\": \"0x3E4F\", \"productId\": \"0x0107\", "
            + "\"release\": \"0x0310\", \"manufacturer\": \"Nordlicht\", \"product\": \"Data Logger\", "
            + "\"serialNumber\": \"NL-7\", \"kind\": \"winusb\"}";

    private static final String LOOPBACK_RECORD = ":=1A2B:=0001:=0100:=Vantorel Labs:=Kestra Loopback:=KL-1:=x:=b:=end";
    private static final String HID_RECORD = ":=1A2B:=0002:=0200:=Vantorel Labs:=Kestra HID Echo:=KH-2:=x:=h:=end";
    private static final String LOGGER_RECORD = ":=3E4F:=0107:=0310:=Nordlicht:=Data Logger:=NL-7:=x:=b:=end";

    private static void plug(String... devices) throws IOException {
        BenchPorts.plug(4, devices);
    }

    @Test
    void unplugReplugAndANewDeviceAsTheListSeesThem() throws IOException {
        int handle = KESTRACommUSBAccess.usbInitialize();
        assertEquals(0, handle);
        int list = KESTRACommUSBAccess.usbCreateDeviceList(handle, 0xFFFF);
        assertTrue(list >= 0);
        assertEquals(2, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("1" + LOOPBACK_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 0));
        assertEquals("1" + HID_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 1));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));

        plug(LOOPBACK, null);
        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(list, 0));
        assertEquals(2, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("0" + HID_RECORD, KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("0" + HID_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 1));

        // Back on another port: the same device by its ids and texts.
        plug(LOOPBACK, null, HID_ECHO);
        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(list, 0));
        assertEquals(2, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("1" + HID_RECORD, KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));
        assertEquals("1" + HID_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 1));

        plug(LOOPBACK, LOGGER, HID_ECHO);
        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(list, 0));
        assertEquals(3, KESTRACommUSBAccess.usbGetDeviceListCount(list));
        assertEquals("1" + LOOPBACK_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 0));
        assertEquals("1" + HID_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 1));
        assertEquals("1" + LOGGER_RECORD, KESTRACommUSBAccess.usbGetDeviceInfo(list, 2));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(list, 0));

        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(list));
        assertEquals(0, KESTRACommUSBAccess.usbRelease(handle));
    }
}
