package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.Test;

class LifecycleTest {
    @Test
    void initializeTwiceIsRefusedUntilReleased() {
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
        assertEquals(-115, KESTRACommUSBAccess.usbInitialize());
        assertEquals(-116, KESTRACommUSBAccess.usbRelease(5));
        assertEquals(0, KESTRACommUSBAccess.usbRelease(0));
        assertEquals(0, KESTRACommUSBAccess.usbInitialize());
        assertEquals(0, KESTRACommUSBAccess.usbRelease(0));
    }
}
