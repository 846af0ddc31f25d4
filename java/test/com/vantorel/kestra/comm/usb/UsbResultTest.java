package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.EnumSet;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Optional;
import org.junit.jupiter.api.Test;

/** Status code lookup and the exceptions made from codes; it needs no native library. */
class UsbResultTest {
    @Test
    void everyCodeTheLibraryDefinesHasItsMeaning() {
        Map<Integer, UsbResult> expected = new LinkedHashMap<>();
        expected.put(0, UsbResult.SUCCESS);
        expected.put(-7, UsbResult.TIMED_OUT);
        expected.put(-101, UsbResult.WIN_USB_NOT_LOADED);
        expected.put(-104, UsbResult.NO_LISTS);
        expected.put(-105, UsbResult.ALREADY_OPEN);
        expected.put(-107, UsbResult.WIN_USB_INIT_FAILED);
        expected.put(-109, UsbResult.NOT_OPEN);
        expected.put(-112, UsbResult.TRANSFER_FAILED);
        expected.put(-113, UsbResult.READ_FAILED);
        expected.put(-114, UsbResult.NO_SUCH_DEVICE);
        expected.put(-115, UsbResult.ALREADY_INITIALIZED);
        expected.put(-116, UsbResult.BAD_HANDLE);
        expected.put(-117, UsbResult.ABORT_FAILED);
        expected.put(-120, UsbResult.DESCRIPTOR_NOT_SUPPORTED);
        expected.put(-140, UsbResult.THREAD_START_FAILED);
        expected.put(-200, UsbResult.NO_API_TABLE);
        expected.forEach((code, result) -> {
            assertEquals(Optional.of(result), UsbResult.of(code), "code " + code);
            assertEquals(Optional.of(result), UsbResult.ofOpenDevice(code), "code " + code);
            assertEquals(EnumSet.of(result), UsbResult.meaningsOf(code), "code " + code);
            assertEquals(code, result.code());
        });
        // With the two meanings of -103, that is every constant.
        assertEquals(expected.size() + 2, UsbResult.values().length);
    }

    @Test
    void minus103MeansWhatTheMethodThatReturnedItMeans() {
        assertEquals(Optional.of(UsbResult.LIST_NOT_FOUND), UsbResult.of(-103));
        assertEquals(Optional.of(UsbResult.OPEN_FAILED), UsbResult.ofOpenDevice(-103));
        assertEquals(EnumSet.of(UsbResult.LIST_NOT_FOUND, UsbResult.OPEN_FAILED), UsbResult.meaningsOf(-103));

        UsbException open = assertThrows(UsbException.class, () -> UsbException.check("usbOpenDevice", -103));
        assertEquals(Optional.of(UsbResult.OPEN_FAILED), open.result());
        UsbException release = assertThrows(UsbException.class,
                () -> UsbException.check("usbReleaseDeviceList", -103));
        assertEquals(Optional.of(UsbResult.LIST_NOT_FOUND), release.result());
    }

    @Test
    void countsAndUndefinedCodesHaveNoMeaning() {
        for (int code : new int[] {1, 65, -1, -102, -999, Integer.MIN_VALUE}) {
            assertEquals(Optional.empty(), UsbResult.of(code), "code " + code);
            assertEquals(Optional.empty(), UsbResult.ofOpenDevice(code), "code " + code);
            assertTrue(UsbResult.meaningsOf(code).isEmpty(), "code " + code);
        }
    }

    @Test
    void checkPassesResultsOfZeroOrMoreAndThrowsForNegativeOnes() throws UsbException {
        assertEquals(0, UsbException.check("usbInitialize", 0));
        assertEquals(65, UsbException.check("usbWriteInterruptPipe", 65));

        UsbException failed = assertThrows(UsbException.class, () -> UsbException.check("usbReadBulkPipe", -112));
        assertEquals("usbReadBulkPipe", failed.method());
        assertEquals(-112, failed.code());
        assertEquals(Optional.of(UsbResult.TRANSFER_FAILED), failed.result());
        assertTrue(failed.getMessage().contains("usbReadBulkPipe") && failed.getMessage().contains("-112"),
                failed.getMessage());

        UsbException unknown = assertThrows(UsbException.class, () -> UsbException.check("usbResetDevice", -42));
        assertEquals(-42, unknown.code());
        assertEquals(Optional.empty(), unknown.result());
    }
}
