package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.comm.usb.desk.Device;
import com.vantorel.kestra.comm.usb.desk.SimulatedDesk;
import com.vantorel.kestra.comm.usb.desk.WinUsbBehaviour;
import com.vantorel.kestra.testing.OverBench;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Optional;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * Several threads using the typed layer at once over the real library: the
 * layer's lock keeps the library's unguarded state whole, and an abort still
 * reaches a bulk transfer that blocks while holding it.
 */
@OverBench(writesOwnBench = true)
class ConcurrentCallsDeskTest {
    private static final int LOOPBACK = 0;
    private static final int HID_ECHO = 1;
    private static final int SILENT = 2;

    private static UsbSession session;
    private static DeviceList list;

    @BeforeAll
    static void openOverADesk() throws Exception {
        SimulatedDesk desk = new SimulatedDesk();
        desk.addController().rootHub()
                .port(1, Device.winUsb(0x1A2B, 0x0001).product("Loopback").serialNumber("L-1"))
                .port(2, Device.hid(0x1A2B, 0x0002).manufacturer("Vantorel Labs").product("Echo").serialNumber("E-1"))
                .port(3, Device.winUsb(0x1A2B, 0x0003).product("Mute").serialNumber("M-1")
                        .winUsbBehaviour(new WinUsbBehaviour().pipe(0x01, WinUsbBehaviour.Pipe.SINK)
                                .pipe(0x81, WinUsbBehaviour.Pipe.SILENT)))
                .port(4, Device.massStorage(0x3E4F, 0x0200).manufacturer("Nordlicht").product("Stick")
                        .failString(2, 31));
        desk.write();
        session = UsbSession.open();
        list = session.deviceListForAllVendors();
        assertEquals(4, list.size());
    }

    @AfterAll
    static void close() {
        session.close();
    }

    /**
     * Every worker refreshes the shared list and reads its records, creates and
     * releases lists of its own, and opens and closes its device of the shared
     * list, moving data through it: all of them change the library's list and
     * device tables at once, so only the layer's lock keeps them whole.
     */
    @Test
    void threadsWorkListsAndDevicesAtOnce() throws Exception {
        List<Callable<Integer>> workers = new ArrayList<>();
        workers.add(worker(LOOPBACK, device -> {
            byte[] out = new byte[512];
            Arrays.fill(out, (byte) 0x5A);
            assertEquals(out.length, device.bulkWrite(1, out, 1000));
            assertArrayEquals(out, device.bulkRead(1, out.length, 1000));
        }));
        workers.add(worker(HID_ECHO, device -> {
            byte[] report = new byte[UsbDevice.REPORT_SIZE];
            Arrays.fill(report, (byte) 0x3C);
            assertTrue(device.writeReport(report, 1000));
            assertArrayEquals(report, device.readReport(1000).orElseThrow());
        }));
        workers.add(worker(SILENT, device -> {
            assertEquals(18, device.deviceDescriptor().length);
            assertEquals(Optional.of("M-1"), device.stringDescriptor(StringKind.SERIAL_NUMBER));
        }));
        workers.add(worker(SILENT, device -> assertEquals(Optional.of("Mute"),
                device.stringDescriptor(StringKind.PRODUCT))));
        ExecutorService pool = Executors.newFixedThreadPool(workers.size());
        try {
            for (Future<Integer> done : pool.invokeAll(workers, 120, TimeUnit.SECONDS)) {
                assertEquals(ROUNDS, done.get());
            }
        } finally {
            pool.shutdownNow();
        }
        assertEquals(List.of(Optional.of("Loopback"), Optional.of("Echo"), Optional.of("Mute"), Optional.empty()),
                products(list));
    }

    private static final int ROUNDS = 60;

    private interface DeviceWork {
        void run(UsbDevice device) throws Exception;
    }

    /** A worker of {@link #threadsWorkListsAndDevicesAtOnce}, working device {@code index} of the shared list. */
    private static Callable<Integer> worker(int index, DeviceWork work) {
        return () -> {
            int rounds = 0;
            for (; rounds < ROUNDS; rounds++) {
                list.refresh();
                assertEquals(List.of(Optional.of("Loopback"), Optional.of("Echo"), Optional.of("Mute"),
                        Optional.empty()), products(list), "the shared list's records");
                try (DeviceList kestra = session.deviceList(0x1A2B); DeviceList storage = session.deviceList(0x3E4F)) {
                    assertEquals(3, kestra.size());
                    assertEquals(Optional.of("Nordlicht"), storage.description(0).orElseThrow().manufacturer());
                }
                // Two workers share the silent device: one of them may find it open.
                try (UsbDevice device = openOrNull(index)) {
                    if (device != null) {
                        work.run(device);
                    }
                }
            }
            return rounds;
        };
    }

    private static UsbDevice openOrNull(int index) throws UsbException {
        try {
            return list.open(index);
        } catch (UsbException e) {
            if (index == SILENT && e.code() == UsbResult.ALREADY_OPEN.code()) {
                return null;
            }
            throw e;
        }
    }

    private static List<Optional<String>> products(DeviceList devices) throws UsbException {
        List<Optional<String>> products = new ArrayList<>();
        for (DeviceDescription description : devices.descriptions()) {
            products.add(description.product());
        }
        return products;
    }

    @Test
    void aBlockedTransferHoldsUpOtherCallsUntilItIsAborted() throws Exception {
        try (UsbDevice device = list.open(SILENT)) {
            ExecutorService pool = Executors.newFixedThreadPool(2);
            try {
                Future<Integer> read = pool.submit(() -> {
                    try {
                        device.bulkRead(1, 64, UsbDevice.INFINITE);
                        return 0;
                    } catch (UsbException e) {
                        return e.code();
                    }
                });
                Thread reader = threadIn("usbReadBulkPipe");
                Future<Integer> count = pool.submit(() -> list.size());
                waitUntilBlocked(count);
                assertFalse(count.isDone());
                assertTrue(reader.isAlive());

                device.abortTransfers(0x81);
                assertEquals(UsbResult.TRANSFER_FAILED.code(), read.get(10, TimeUnit.SECONDS));
                assertEquals(4, count.get(10, TimeUnit.SECONDS));
            } finally {
                pool.shutdownNow();
            }
        }
    }

    /** The thread whose innermost frame is the native method {@code method}, once one is there. */
    private static Thread threadIn(String method) throws InterruptedException {
        for (int attempt = 0; attempt < 2000; attempt++) {
            for (Thread thread : Thread.getAllStackTraces().keySet()) {
                StackTraceElement[] stack = thread.getStackTrace();
                if (stack.length > 0 && stack[0].isNativeMethod() && stack[0].getMethodName().equals(method)) {
                    return thread;
                }
            }
            Thread.sleep(5);
        }
        throw new AssertionError("no thread entered " + method);
    }

    /** Waits until a pool thread is blocked on a monitor, which here only the library lock can be. */
    private static void waitUntilBlocked(Future<?> task) throws InterruptedException {
        for (int attempt = 0; attempt < 2000 && !task.isDone(); attempt++) {
            for (Thread thread : Thread.getAllStackTraces().keySet()) {
                if (thread.getState() == Thread.State.BLOCKED && thread.getName().startsWith("pool-")) {
                    return;
                }
            }
            Thread.sleep(5);
        }
        throw new AssertionError("the second call was not held up by the blocked transfer");
    }
}
