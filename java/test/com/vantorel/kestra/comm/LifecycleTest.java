package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;

/** Handing out and taking back the access handle. Each test ends released. */
class LifecycleTest {
    private static final int ALL_VENDORS = 0xFFFF;

    @AfterEach
    void releaseWhateverIsInForce() {
        KESTRACommUSBAccess.usbRelease(0);
    }

    @Test
    void initializeTwiceIsRefusedAndChangesNothing() {
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
        assertEquals(-115, KESTRACommUSBAccess.usbInitialize());
        // Still initialised with handle 0: a list can be created with it.
        assertTrue(KESTRACommUSBAccess.usbCreateDeviceList(0, ALL_VENDORS) >= 0);
    }

    @Test
    void releaseWithAWrongHandleKeepsTheInitialisation() {
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
        assertEquals(-116, KESTRACommUSBAccess.usbRelease(5));
        assertEquals(-116, KESTRACommUSBAccess.usbRelease(-1));
        assertEquals(-115, KESTRACommUSBAccess.usbInitialize());
        assertEquals(0, KESTRACommUSBAccess.usbRelease(0));
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
    }

    @Test
    void afterReleaseTheOldHandleIsRefusedAndMinusOneMatches() {
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
        assertEquals(0, KESTRACommUSBAccess.usbRelease(0));
        assertEquals(-116, KESTRACommUSBAccess.usbRelease(0));
        assertEquals(-116, KESTRACommUSBAccess.usbCreateDeviceList(0, ALL_VENDORS));
        assertTrue(KESTRACommUSBAccess.usbCreateDeviceList(-1, ALL_VENDORS) >= 0);
        assertEquals(0, KESTRACommUSBAccess.usbRelease(-1));
    }

    @Test
    void aWrongHandleCreatesNoList() {
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
        int first = KESTRACommUSBAccess.usbCreateDeviceList(0, 0x1234);
        assertTrue(first >= 0);
        assertEquals(-116, KESTRACommUSBAccess.usbCreateDeviceList(7, 0x5678));
        assertEquals(-116, KESTRACommUSBAccess.usbCreateDeviceList(-1, 0x5678));
        // The refused calls made no list: the next one is new and follows the first.
        int next = KESTRACommUSBAccess.usbCreateDeviceList(0, 0x5678);
        assertEquals(first + 1, next);
    }
}
