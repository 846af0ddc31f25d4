package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.comm.usb.desk.Device;
import com.vantorel.kestra.comm.usb.desk.PortPath;
import com.vantorel.kestra.comm.usb.desk.SimulatedDesk;
import com.vantorel.kestra.testing.OverBench;
import java.time.Duration;
import java.util.List;
import java.util.OptionalInt;
import java.util.concurrent.CopyOnWriteArrayList;
import java.util.logging.Handler;
import java.util.logging.LogRecord;
import java.util.logging.Logger;
import org.junit.jupiter.api.Test;

/** The conveniences of the typed layer: device lookup, time-outs as durations, forgotten sessions. */
@OverBench(writesOwnBench = true)
class TypedHelpersDeskTest {
    private static Device board(String serial) {
        return Device.winUsb(0x1A2B, 0x0001).manufacturer("Vantorel Labs").product("Loopback").serialNumber(serial);
    }

    @Test
    void aDeviceIsFoundByItsIdsAndSerialNumberWhilePresent() throws Exception {
        SimulatedDesk desk = new SimulatedDesk();
        desk.addController().rootHub().port(1, board("A-1")).port(2, board("A-2"))
                .port(3, Device.hid(0x1A2B, 0x0002).product("Sensor"));
        desk.write();
        try (UsbSession session = UsbSession.open(); DeviceList list = session.deviceListForAllVendors()) {
            assertEquals(OptionalInt.of(0), list.find(0x1A2B, 0x0001));
            assertEquals(OptionalInt.of(1), list.find(0x1A2B, 0x0001, "A-2"));
            assertEquals(OptionalInt.of(2), list.find(0x1A2B, 0x0002));
            assertEquals(OptionalInt.empty(), list.find(0x1A2B, 0x0001, "A-3"));
            assertEquals(OptionalInt.empty(), list.find(0x1A2C, 0x0001));

            // An absent device keeps its index but is no longer found; the
            // handle still open fails, and once closed the device comes back
            // under its index, plugged elsewhere, and opens anew.
            UsbDevice stale = list.open(0);
            desk.unplug(PortPath.of(0, 1));
            list.refresh();
            assertEquals(OptionalInt.of(1), list.find(0x1A2B, 0x0001));
            assertEquals(OptionalInt.empty(), list.find(0x1A2B, 0x0001, "A-1"));
            assertThrows(UsbException.class, () -> stale.bulkWrite(1, new byte[] {1}, 1000));
            stale.close();
            desk.plug(PortPath.of(0, 4), board("A-1"));
            list.refresh();
            assertEquals(OptionalInt.of(0), list.find(0x1A2B, 0x0001, "A-1"));
            try (UsbDevice again = list.open(0)) {
                assertEquals(1, again.bulkWrite(1, new byte[] {1}, 1000));
            }
        }
    }

    @Test
    void durationsBecomeWholeMillisecondsRoundedUp() {
        assertEquals(0, UsbDevice.millis(Duration.ZERO));
        assertEquals(1, UsbDevice.millis(Duration.ofNanos(1)), "a positive time-out never becomes 0");
        assertEquals(1500, UsbDevice.millis(Duration.ofMillis(1500)));
        assertEquals(1501, UsbDevice.millis(Duration.ofMillis(1500).plusNanos(1)));
        assertEquals(Integer.MAX_VALUE, UsbDevice.millis(Duration.ofDays(100_000)));
        assertThrows(IllegalArgumentException.class, () -> UsbDevice.millis(Duration.ofMillis(-1)));
    }

    @Test
    void aSessionNobodyClosedIsReleasedWithAWarning() throws Exception {
        new SimulatedDesk().write();
        List<LogRecord> warnings = new CopyOnWriteArrayList<>();
        Logger log = Logger.getLogger(UsbSession.class.getPackageName());
        Handler capture = new Handler() {
            @Override
            public void publish(LogRecord record) {
                warnings.add(record);
            }

            @Override
            public void flush() {}

            @Override
            public void close() {}
        };
        log.addHandler(capture);
        try {
            openAndForget();
            long deadline = System.nanoTime() + Duration.ofSeconds(20).toNanos();
            UsbSession next = null;
            while (next == null && System.nanoTime() < deadline) {
                System.gc();
                try {
                    next = UsbSession.open();
                } catch (UsbException stillHeld) {
                    assertEquals(UsbResult.ALREADY_INITIALIZED, stillHeld.result().orElseThrow());
                    Thread.sleep(20);
                }
            }
            assertTrue(next != null, "the forgotten session still holds the library");
            next.close();
            assertTrue(warnings.stream().anyMatch(r -> r.getMessage().contains("was not closed")), "no warning");
        } finally {
            log.removeHandler(capture);
        }
    }

    /** A session with an open list, dropped without a close. */
    private static void openAndForget() throws UsbException {
        UsbSession.open().deviceListForAllVendors();
    }
}
