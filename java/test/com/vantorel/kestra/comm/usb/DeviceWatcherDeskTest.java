package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.comm.usb.desk.Device;
import com.vantorel.kestra.comm.usb.desk.PortPath;
import com.vantorel.kestra.comm.usb.desk.SimulatedDesk;
import com.vantorel.kestra.testing.OverBench;
import java.time.Duration;
import java.util.Optional;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import org.junit.jupiter.api.Test;

/**
 * A watcher over a simulated machine whose devices are plugged and pulled by
 * rewriting the bench file: arrivals and departures come with the device's
 * index and description, once each, whatever a listener throws; closing the
 * session alone stops the thread, and a list closed under the watcher ends it
 * with a reason.
 */
@OverBench(writesOwnBench = true)
class DeviceWatcherDeskTest {
    private static DeviceEvent next(BlockingQueue<DeviceEvent> events) throws InterruptedException {
        DeviceEvent event = events.poll(10, TimeUnit.SECONDS);
        assertNotNull(event, "no event within 10 s");
        return event;
    }

    @Test
    void plugsAndUnplugsBecomeEventsWithTheirIndexes() throws Exception {
        SimulatedDesk desk = new SimulatedDesk();
        desk.addController().rootHub()
                .port(1, Device.winUsb(0x1A2B, 0x0001).manufacturer("Vantorel Labs").product("Loopback")
                        .serialNumber("L-1"))
                .port(3, Device.hub(0x2C3D, 0x4100, 2).product("Hub"));
        desk.write();
        Device sensor = Device.hid(0x1A2B, 0x0002).manufacturer("Vantorel Labs").product("Sensor")
                .serialNumber("S-1");

        BlockingQueue<DeviceEvent> events = new LinkedBlockingQueue<>();
        AtomicBoolean sessionClosed = new AtomicBoolean();
        AtomicBoolean calledAfterClose = new AtomicBoolean();
        AssertionError failedAssertion = new AssertionError("a listener's failed assertion");
        UsbSession session = UsbSession.open();
        // Listeners given at creation: none can miss the first event.
        DeviceWatcher watcher = session.watch(UsbSession.ALL_VENDORS, Duration.ofMillis(50), event -> {
            throw failedAssertion;
        }, event -> {
            calledAfterClose.compareAndSet(false, sessionClosed.get());
            events.add(event);
        });
        Thread watcherThread = threadNamed("tamberlyx-device-watcher-" + watcher.list().id());
        try {
            assertEquals(1, watcher.list().size());

            desk.plug(PortPath.of(0, 3, 2), sensor);
            DeviceEvent arrived = next(events);
            assertEquals(DeviceEvent.Kind.ARRIVED, arrived.kind());
            assertEquals(1, arrived.index());
            assertEquals(Optional.of("Sensor"), arrived.description().product());
            assertEquals(true, arrived.description().isHid());

            desk.unplug(PortPath.of(0, 1));
            DeviceEvent left = next(events);
            assertEquals(DeviceEvent.Kind.LEFT, left.kind());
            assertEquals(0, left.index());
            assertFalse(left.description().isPresent());
            assertEquals(Optional.of("L-1"), left.description().serialNumber());

            desk.plug(PortPath.of(0, 1), Device.winUsb(0x1A2B, 0x0001).manufacturer("Vantorel Labs")
                    .product("Loopback").serialNumber("L-1"));
            DeviceEvent back = next(events);
            assertEquals(DeviceEvent.Kind.ARRIVED, back.kind());
            assertEquals(0, back.index());
            assertNull(events.poll(300, TimeUnit.MILLISECONDS), "each change is reported once");
            assertSame(failedAssertion, watcher.lastFailure().orElse(null), "what the listener threw is kept");
        } finally {
            // Only the session: it must stop its watchers itself.
            session.close();
            sessionClosed.set(true);
        }
        desk.unplug(PortPath.of(0, 1));
        watcherThread.join(5000);
        assertFalse(watcherThread.isAlive(), "closing the session stops the watcher");
        assertFalse(calledAfterClose.get(), "no listener is called once the session's close has returned");
    }

    @Test
    void aListClosedUnderTheWatcherEndsItWithTheReason() throws Exception {
        SimulatedDesk desk = new SimulatedDesk();
        desk.addController().rootHub().port(1, Device.winUsb(0x1A2B, 0x0001).product("Loopback"));
        desk.write();
        try (UsbSession session = UsbSession.open();
             DeviceWatcher watcher = session.watch(UsbSession.ALL_VENDORS, Duration.ofMillis(20))) {
            watcher.list().close();
            Thread watcherThread = threadNamed("tamberlyx-device-watcher-" + watcher.list().id());
            watcherThread.join(5000);
            assertFalse(watcher.isRunning());
            assertTrue(watcher.lastFailure().orElse(null) instanceof IllegalStateException,
                    "the reason: " + watcher.lastFailure());
        }
    }

    private static Thread threadNamed(String name) {
        for (Thread thread : Thread.getAllStackTraces().keySet()) {
            if (thread.getName().equals(name)) {
                return thread;
            }
        }
        throw new AssertionError("no thread " + name);
    }
}
