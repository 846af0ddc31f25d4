package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

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
        int listId = KESTRACommUSBAccess.usbCreateDeviceList(-1, 0xFFFF);
        assertTrue(listId >= 0, "list id " + listId);
        assertTrue(KESTRACommUSBAccess.usbGetDeviceListCount(listId) >= 0);
    }

    @Test
    void countOfAnUnknownListIsZero() {
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(424242));
        assertEquals(0, KESTRACommUSBAccess.usbGetDeviceListCount(-1));
    }
}
