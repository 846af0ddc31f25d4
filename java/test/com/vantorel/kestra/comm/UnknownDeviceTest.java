package com.vantorel.kestra.comm;

import static com.vantorel.kestra.testing.BenchExtension.handle;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import java.util.Arrays;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Device methods on (list id, index) pairs that name no open device: -114,
 * and the caller's array is left exactly as it was.
 */
@OverBench(initialized = true)
class UnknownDeviceTest {
    private static final int NO_SUCH_DEVICE = -114;
    private static int listId;

    @BeforeAll
    static void createAList() {
        listId = KESTRACommUSBAccess.usbCreateDeviceList(0, 0xFFFF);
        assertTrue(listId >= 0, "list id " + listId);
    }

    private static byte[] pattern() {
        byte[] data = new byte[128];
        for (int i = 0; i < data.length; i++) data[i] = (byte) (i * 37 + 11);
        return data;
    }

    /** Runs every method that takes an array on the pair and checks result and array. */
    private static void expectRefusedWithArrayUnchanged(int list, int index) {
        String pair = "(" + list + ", " + index + ")";
        byte[] data = pattern();
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbWriteControlPipe(list, index, 8, 0, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbReadControlPipe(list, index, 8, 0, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbWriteBulkPipe(list, index, 1, 64, 100, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbReadBulkPipe(list, index, 1, 64, 100, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbWriteInterruptPipe(list, index, 0, 64, 100, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbReadInterruptPipe(list, index, 0, 64, 100, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, index, 1, 0, 18, data), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbGetDeviceDescriptor(list, index, 3, 2, 64, data), pair);
        assertArrayEquals(pattern(), data, pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbResetDevice(list, index), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbCancelPipeTransfer(list, index, 0x81), pair);
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbCloseDevice(list, index), pair);
    }

    @Test
    void unknownListsAndIndexesAreRefused() {
        expectRefusedWithArrayUnchanged(424242, 0);
        expectRefusedWithArrayUnchanged(-1, 0);
        expectRefusedWithArrayUnchanged(listId, -1);
        expectRefusedWithArrayUnchanged(listId, Integer.MAX_VALUE);
    }

    @Test
    void listedDevicesThatWereNeverOpenedAreRefused() {
        int count = KESTRACommUSBAccess.usbGetDeviceListCount(listId);
        for (int index = 0; index < count; index++) expectRefusedWithArrayUnchanged(listId, index);
    }

    @Test
    void openWithAnIndexOutsideTheListIsRefused() {
        int count = KESTRACommUSBAccess.usbGetDeviceListCount(listId);
        for (int index : Arrays.asList(-1, -100, count, count + 1, Integer.MAX_VALUE, Integer.MIN_VALUE)) {
            assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbOpenDevice(listId, index), "index " + index);
        }
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbOpenDevice(424242, 0));
    }

    @Test
    void closingADeviceThatIsNotOpenIsRefusedEachTime() {
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbCloseDevice(listId, 0));
        assertEquals(NO_SUCH_DEVICE, KESTRACommUSBAccess.usbCloseDevice(listId, 0));
    }
}
