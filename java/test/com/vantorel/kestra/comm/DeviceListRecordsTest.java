package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import org.junit.jupiter.api.Test;

/**
 * Description and change records where there is no device to describe: the
 * caller gets an empty string, never a null reference.
 */
@OverBench("DeviceListRecordsTest.json")
class DeviceListRecordsTest {
    @Test
    void missingEntriesAndUnchangedListsGiveEmptyRecords() {
        // Before any initialisation the handle -1 is the current one.
        int id = KESTRACommUSBAccess.usbCreateDeviceList(-1, -1);
        assertTrue(id >= 0);

        assertEquals("", KESTRACommUSBAccess.usbGetDeviceInfo(id, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetDeviceInfo(id, -1));
        assertEquals("", KESTRACommUSBAccess.usbGetDeviceInfo(id + 1000, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(id, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(id + 1000, 3));

        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(id, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(id, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetDeviceInfo(id, 0));

        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(id));
        assertEquals("", KESTRACommUSBAccess.usbGetDeviceInfo(id, 0));
        assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(id, 0));
    }
}
