package com.vantorel.kestra.comm;

import static com.vantorel.kestra.testing.BenchExtension.handle;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import org.junit.jupiter.api.Test;

/**
 * Device lists as the caller sees them over a machine whose walk finds no
 * device: ids, vendor filters, counts, refresh and release. Every test
 * releases the lists it makes.
 */
@OverBench(value = "DeviceListTest.json", initialized = true)
class DeviceListTest {

    @Test
    void idsFollowTheLow16BitsOfTheFilterAndAreNeverReused() {
        int acme = KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0x1234);
        assertTrue(acme >= 0);
        int all = KESTRACommUSBAccess.usbCreateDeviceList(handle(), -1);
        assertEquals(acme + 1, all);
        assertEquals(all, KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0xFFFF));
        assertEquals(acme, KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0x11234));

        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(acme));
        assertEquals(-103, KESTRACommUSBAccess.usbReleaseDeviceList(acme));
        int again = KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0x1234);
        assertEquals(all + 1, again);

        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(all));
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(again));
        assertEquals(-104, KESTRACommUSBAccess.usbReleaseDeviceList(again));
        assertEquals(-104, KESTRACommUSBAccess.usbUpdateDeviceList(again, 0));
    }

    @Test
    void anEmptyMachineGivesEmptyListsThatRefreshAndCount() {
        int id = KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0x0FE2);
        assertTrue(id >= 0);
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(id));
        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(id, 77));
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(id));
        assertEquals(-103, KESTRACommUSBAccess.usbUpdateDeviceList(id + 1000, 0));
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(id + 1000));
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(id));
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(id));
    }

    @Test
    void aWrongHandleCreatesNothing() {
        assertEquals(-116, KESTRACommUSBAccess.usbCreateDeviceList(handle() + 5, 0x4242));
        int id = KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0x4242);
        assertTrue(id >= 0);
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(id));
        assertEquals(-104, KESTRACommUSBAccess.usbReleaseDeviceList(id));
    }
}
