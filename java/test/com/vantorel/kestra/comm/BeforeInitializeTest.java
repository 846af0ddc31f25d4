package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.Test;

/**
 * What a caller gets before any usbInitialize in this JVM. No test here
 * initialises, so every test sees the handle at -1.
 */
class BeforeInitializeTest {
    @Test
    void releaseWithMinusOneSucceedsAndAnyOtherHandleIsRefused() {
        assertEquals(-116, KESTRACommUSBAccess.usbRelease(0));
        assertEquals(0, KESTRACommUSBAccess.usbRelease(-1));
        assertEquals(0, KESTRACommUSBAccess.usbRelease(-1));
    }

    @Test
    void listsAreCreatedWithTheHandleMinusOneOnly() {
        assertEquals(-116, KESTRACommUSBAccess.usbCreateDeviceList(0, 0xFFFF));
        // The refused creation used up no id: this JVM's first list is 0.
        assertEquals(0, KESTRACommUSBAccess.usbCreateDeviceList(-1, 0xFFFF));
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(0));
    }

    @Test
    void countOfAnUnknownListIsZero() {
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(424242));
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(-1));
    }
}
