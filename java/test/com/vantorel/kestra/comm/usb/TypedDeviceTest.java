package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.Optional;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * The typed layer over a stand-in library: the buffers it hands to the native
 * methods, how it reads their answers, and what closing releases.
 */
class TypedDeviceTest {
    private FakeNativeUsb usb;
    private UsbSession session;
    private DeviceList list;
    private UsbDevice device;

    @BeforeEach
    void openADevice() throws UsbException {
        usb = new FakeNativeUsb();
        usb.results.put("usbCreateDeviceList", 7);
        usb.results.put("usbGetDeviceListCount", 3);
        session = UsbSession.open(usb.library);
        list = session.deviceList(0x1234);
        device = list.open(2);
        usb.calls.clear();
    }

    private static byte[] bytes(int... values) {
        byte[] result = new byte[values.length];
        for (int i = 0; i < values.length; i++) {
            result[i] = (byte) values[i];
        }
        return result;
    }

    @Test
    void controlTransfersPutTheSetupPacketBeforeTheDataStage() throws UsbException {
        usb.answer = bytes(0xAA, 0xBB, 0xCC);
        usb.answerOffset = 8;
        usb.result = 3;
        assertArrayEquals(bytes(0xAA, 0xBB, 0xCC), device.controlRead(0xC0, 0x01, 0x1234, 0xABCD, 4));
        assertArrayEquals(bytes(0xC0, 0x01, 0x34, 0x12, 0xCD, 0xAB, 0x04, 0x00, 0, 0, 0, 0), usb.lastData);
        assertEquals(List.of("usbReadControlPipe(7, 2, 4, 0)"), usb.calls);

        usb.answer = new byte[0];
        assertEquals(2, device.controlWrite(0x40, 0x09, 0x0300, 1, bytes(5, 6)));
        assertArrayEquals(bytes(0x40, 0x09, 0x00, 0x03, 0x01, 0x00, 0x02, 0x00, 5, 6), usb.lastData);
        assertEquals("usbWriteControlPipe(7, 2, 2, 0)", usb.lastCall());

        // A zero-length data stage is a buffer of the setup packet alone.
        usb.result = 0;
        assertEquals(0, device.controlWrite(0x00, 0x09, 1, 0, new byte[0]));
        assertEquals(8, usb.lastData.length);
    }

    @Test
    void controlTransfersTrustNoCountAndNoDirectionBeyondTheirOwn() throws UsbException {
        usb.result = 1000;
        assertEquals(4, device.controlRead(0x80, 6, 0x0100, 0, 4).length);
        assertEquals(2, device.controlWrite(0x40, 1, 0, 0, bytes(1, 2)));

        usb.calls.clear();
        assertThrows(IllegalArgumentException.class, () -> device.controlRead(0x40, 1, 0, 0, 4));
        assertThrows(IllegalArgumentException.class, () -> device.controlWrite(0xC0, 1, 0, 0, new byte[1]));
        assertThrows(IllegalArgumentException.class, () -> device.controlRead(0x80, 6, 0x10000, 0, 4));
        assertThrows(IllegalArgumentException.class, () -> device.controlRead(0x80, 6, 0, 0, 0x10000));
        assertThrows(IllegalArgumentException.class, () -> device.controlRead(0x80, 6, 0, 0, -1));
        assertEquals(List.of(), usb.calls);

        usb.result = -113;
        UsbException failed = assertThrows(UsbException.class, () -> device.controlRead(0x80, 6, 0, 0, 4));
        assertEquals(Optional.of(UsbResult.READ_FAILED), failed.result());
    }

    @Test
    void bulkTransfersNameTheirEndpointAndTimeOut() throws UsbException {
        usb.answer = bytes(1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
        usb.result = 10;
        assertArrayEquals(bytes(1, 2, 3, 4), device.bulkRead(0x81, 4, 500));
        assertEquals("usbReadBulkPipe(7, 2, 129, 4, 500)", usb.lastCall());

        // WinUSB's "no time-out" is 0; a bulk transfer cannot poll.
        usb.result = 2;
        byte[] payload = bytes(9, 8);
        assertEquals(2, device.bulkWrite(1, payload, UsbDevice.INFINITE));
        assertEquals("usbWriteBulkPipe(7, 2, 1, 2, 0)", usb.lastCall());
        assertArrayEquals(bytes(9, 8), payload);

        usb.calls.clear();
        assertThrows(IllegalArgumentException.class, () -> device.bulkRead(1, 4, 0));
        assertThrows(IllegalArgumentException.class, () -> device.bulkRead(0x101, 4, 100));
        assertThrows(IllegalArgumentException.class, () -> device.bulkWrite(0x81, payload, 100));
        assertEquals(List.of(), usb.calls);

        usb.result = -112;
        assertThrows(UsbException.class, () -> device.bulkRead(1, 4, 100));

        // Aborting names the full endpoint address, unchanged.
        usb.result = 0;
        device.abortTransfers(0x81);
        assertEquals("usbCancelPipeTransfer(7, 2, 129)", usb.lastCall());
        usb.result = -117;
        UsbException abort = assertThrows(UsbException.class, () -> device.abortTransfers(0x01));
        assertEquals(Optional.of(UsbResult.ABORT_FAILED), abort.result());
    }

    @Test
    void hidReportsAreSixtyFourBytesAndATimeOutIsNoFailure() throws UsbException {
        usb.answer = bytes(0x11, 0x22);
        usb.result = 65;
        Optional<byte[]> report = device.readReport(100);
        assertTrue(report.isPresent());
        assertEquals(64, report.get().length);
        assertEquals(0x22, report.get()[1]);
        assertEquals("usbReadInterruptPipe(7, 2, 0, 64, 100)", usb.lastCall());
        assertEquals(64, usb.lastData.length);

        // A short read: the count includes the report id.
        usb.result = 3;
        assertEquals(2, device.readReport(0).get().length);

        usb.result = -7;
        assertEquals(Optional.empty(), device.readReport(UsbDevice.INFINITE));
        assertEquals("usbReadInterruptPipe(7, 2, 0, 64, -1)", usb.lastCall());
        assertFalse(device.writeReport(bytes(1), 10));

        usb.result = 65;
        assertTrue(device.writeReport(bytes(1, 2, 3), 10));
        byte[] padded = new byte[64];
        padded[0] = 1;
        padded[1] = 2;
        padded[2] = 3;
        assertArrayEquals(padded, usb.lastData);
        assertEquals("usbWriteInterruptPipe(7, 2, 0, 64, 10)", usb.lastCall());

        usb.result = -113;
        UsbException failed = assertThrows(UsbException.class, () -> device.readReport(10));
        assertEquals(-113, failed.code());
        assertThrows(IllegalArgumentException.class, () -> device.writeReport(new byte[65], 10));
        assertThrows(IllegalArgumentException.class, () -> device.readReport(-2));
    }

    @Test
    void descriptorsAreReadFromBoundedBuffers() throws UsbException {
        usb.answer = bytes('C', 'a', 'f', 0xE9, 0, 'x');
        assertEquals(Optional.of("Caf\u00E9"), device.stringDescriptor(StringKind.PRODUCT, 40));
        assertEquals(List.of("usbGetDeviceDescriptor(7, 2, 3, 2, 40)"), usb.calls);
        assertEquals(40, usb.lastData.length);

        // A text that fills the whole buffer without its zero is cut there.
        usb.answer = bytes('A', 'B', 'C', 'D');
        assertEquals(Optional.of("AB"), device.stringDescriptor(StringKind.SERIAL_NUMBER, 2));

        usb.answer = bytes('?', 0);
        assertEquals(Optional.empty(), device.stringDescriptor(StringKind.MANUFACTURER));
        assertEquals("usbGetDeviceDescriptor(7, 2, 3, 1, " + UsbDevice.DEFAULT_STRING_BOUND + ")", usb.lastCall());
        assertThrows(IllegalArgumentException.class, () -> device.stringDescriptor(StringKind.PRODUCT, 0));

        usb.calls.clear();
        usb.answer = bytes(18, 1, 0, 2);
        byte[] descriptor = device.deviceDescriptor();
        assertEquals(18, descriptor.length);
        assertEquals(18, descriptor[0]);
        assertEquals(List.of("usbGetDeviceDescriptor(7, 2, 1, 0, 18)"), usb.calls);

        usb.result = -109;
        UsbException failed = assertThrows(UsbException.class, () -> device.deviceDescriptor());
        assertEquals(Optional.of(UsbResult.NOT_OPEN), failed.result());
    }

    @Test
    void failuresOfOpenAndRefreshCarryTheirOwnMeaningOf103() {
        usb.results.put("usbOpenDevice", -103);
        UsbException open = assertThrows(UsbException.class, () -> list.open(0));
        assertEquals(Optional.of(UsbResult.OPEN_FAILED), open.result());
        usb.results.put("usbUpdateDeviceList", -103);
        UsbException refresh = assertThrows(UsbException.class, () -> list.refresh());
        assertEquals(Optional.of(UsbResult.LIST_NOT_FOUND), refresh.result());
    }

    @Test
    void closingASessionClosesItsListsAndTheirDevicesOnce() throws UsbException {
        session.close();
        assertEquals(List.of("usbCloseDevice(7, 2)", "usbReleaseDeviceList(7)", "usbRelease(0)"), usb.calls);
        session.close();
        list.close();
        device.close();
        assertEquals(3, usb.calls.size());
        assertThrows(IllegalStateException.class, () -> device.reset());
        assertThrows(IllegalStateException.class, () -> list.size());
        assertThrows(IllegalStateException.class, () -> session.deviceListForAllVendors());
    }

    @Test
    void aListSharedByTwoHoldersIsReleasedByTheLast() throws UsbException {
        DeviceList again = session.deviceList(0x1234);
        assertEquals(list.id(), again.id());
        list.close();
        assertEquals(List.of("usbCreateDeviceList(0, 4660)", "usbCloseDevice(7, 2)"), usb.calls);
        again.close();
        assertEquals("usbReleaseDeviceList(7)", usb.lastCall());
        assertThrows(IllegalArgumentException.class, () -> session.deviceList(0x10000));
    }

    @Test
    void changesAreTakenUntilTheEmptyAnswerAndNoFurther() {
        usb.changes.add("0:=1234:=0001:=0100:=A:=B:=C:=x:=b:=end");
        usb.changes.add("1:=1234:=0002:=0100:=A:=B:=C:=x:=h:=end");
        List<DeviceDescription> changes = list.takeChanges();
        assertEquals(2, changes.size());
        assertFalse(changes.get(0).isPresent());
        assertTrue(changes.get(1).isHid());
        assertEquals(List.of(), list.takeChanges());

        // A library that never stops answering cannot hang the caller.
        usb.changeAfterwards = "1:=1234:=0001:=0100:=A:=B:=C:=x:=b:=end";
        assertEquals(3, list.takeChanges().size());
    }

    @Test
    void descriptionsFollowTheIndexOrder() {
        usb.deviceInfo = "1:=1234:=0001:=0100:=A:=B:=C:=x:=b:=end";
        assertEquals(3, list.descriptions().size());
        assertEquals(List.of("usbGetDeviceListCount(7)", "usbGetDeviceInfo(7, 0)", "usbGetDeviceInfo(7, 1)",
                "usbGetDeviceInfo(7, 2)"), usb.calls);
        usb.deviceInfo = "";
        assertEquals(Optional.empty(), list.description(5));
    }
}
