package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.Optional;
import org.junit.jupiter.api.Test;

/** The typed layer over the real native library, in a JVM that checks every native call. */
class TypedLibraryTest {
    @Test
    void onlyOneSessionIsOpenAtATime() throws UsbException {
        try (UsbSession session = UsbSession.open()) {
            assertEquals(0, session.handle());
            UsbException second = assertThrows(UsbException.class, UsbSession::open);
            assertEquals(Optional.of(UsbResult.ALREADY_INITIALIZED), second.result());
        }
        UsbSession.open().close();
    }

    @Test
    void aListAnswersForEveryIndexItHasAndNoOther() throws UsbException {
        try (UsbSession session = UsbSession.open(); DeviceList list = session.deviceListForAllVendors()) {
            int size = list.size();
            // Every record the library writes parses.
            assertEquals(size, list.descriptions().size());
            assertEquals(Optional.empty(), list.description(size));
            assertEquals(0, list.takeChanges().size());
            for (int index : new int[] {size, -1}) {
                UsbException open = assertThrows(UsbException.class, () -> list.open(index));
                assertEquals(Optional.of(UsbResult.NO_SUCH_DEVICE), open.result());
            }
        }
    }
}
