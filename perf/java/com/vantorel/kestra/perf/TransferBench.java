package com.vantorel.kestra.perf;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import com.vantorel.kestra.comm.usb.DeviceDescription;
import java.util.Arrays;
import java.util.Optional;

/**
 * Times the library's calls from a JVM over the built-in bench: device
 * records, list updates, bulk transfers beside a pin-and-release baseline of
 * the same size, and a HID round trip. Each result is one tab-separated line
 * "row, name, value, unit, note" for scripts/perf to tabulate.
 */
public final class TransferBench {
    private static final int VENDOR = 0x1A2B;
    private static final int LOOPBACK = 0x0001;
    private static final int HID_ECHO = 0x0002;
    private static final int BULK_PIPE = 0x01;
    private static final int TIMEOUT_MS = 1000;
    private static final int ROUNDS = 15;

    private TransferBench() {}

    private interface Call {
        void run();
    }

    /** Nanoseconds per call: the median over rounds of a timed batch. */
    private static double nanosPerCall(Call call, int batch) {
        double[] rounds = new double[ROUNDS];
        for (int i = 0; i < batch; i++) {
            call.run(); // warm-up
        }
        for (int r = 0; r < ROUNDS; r++) {
            long start = System.nanoTime();
            for (int i = 0; i < batch; i++) {
                call.run();
            }
            rounds[r] = (System.nanoTime() - start) / (double) batch;
        }
        Arrays.sort(rounds);
        return rounds[ROUNDS / 2];
    }

    private static void row(String name, double value, String unit, String note) {
        System.out.printf("row\t%s\t%.3f\t%s\t%s%n", name, value, unit, note);
    }

    private static int indexOf(int list, int productId) {
        int count = KESTRACommUSBAccess.usbGetDeviceListCount(list);
        for (int i = 0; i < count; i++) {
            Optional<DeviceDescription> d = DeviceDescription.parseAnswer(KESTRACommUSBAccess.usbGetDeviceInfo(list, i));
            if (d.isPresent() && d.get().vendorId() == VENDOR && d.get().productId() == productId) {
                return i;
            }
        }
        throw new IllegalStateException("no device " + Integer.toHexString(productId) + " on the bench");
    }

    private static void check(boolean condition, String what) {
        if (!condition) {
            throw new IllegalStateException(what);
        }
    }

    public static void main(String[] args) {
        int handle = KESTRACommUSBAccess.usbInitialize();
        check(handle >= 0, "usbInitialize gave " + handle);
        int list = KESTRACommUSBAccess.usbCreateDeviceList(handle, VENDOR);
        check(list >= 0, "usbCreateDeviceList gave " + list);
        int loopback = indexOf(list, LOOPBACK);
        int hid = indexOf(list, HID_ECHO);

        row("usbGetDeviceInfo", nanosPerCall(() -> KESTRACommUSBAccess.usbGetDeviceInfo(list, loopback), 20000) / 1000,
                "us/call", "record of one device, through the JVM");
        row("usbUpdateDeviceList (JVM)", nanosPerCall(() -> KESTRACommUSBAccess.usbUpdateDeviceList(list, 0), 50) / 1000,
                "us/call", "built-in bench, nothing changed");

        check(KESTRACommUSBAccess.usbOpenDevice(list, loopback) == 0, "the loopback device did not open");
        check(KESTRACommUSBAccess.usbOpenDevice(list, hid) == 0, "the HID device did not open");
        for (int size : new int[] {64, 4096, 65536}) {
            byte[] out = new byte[size];
            byte[] in = new byte[size];
            for (int i = 0; i < size; i++) {
                out[i] = (byte) (i * 7 + 3);
            }
            int batch = size >= 65536 ? 500 : 5000;
            // One transfer call: a write, then the read that takes it back,
            // counted as two calls.
            Call pair = () -> {
                int w = KESTRACommUSBAccess.usbWriteBulkPipe(list, loopback, BULK_PIPE, size, TIMEOUT_MS, out);
                int r = KESTRACommUSBAccess.usbReadBulkPipe(list, loopback, BULK_PIPE, size, TIMEOUT_MS, in);
                if (w != size || r != size) {
                    throw new IllegalStateException("bulk " + size + " B: wrote " + w + ", read " + r);
                }
            };
            Call pins = () -> {
                PinBaseline.pinAndRelease(size, out);
                PinBaseline.pinAndRelease(size, in);
            };
            // Interleaved so that both see the same load.
            double transfer = 0;
            double baseline = 0;
            for (int turn = 0; turn < 3; turn++) {
                baseline += nanosPerCall(pins, batch) / 2;
                transfer += nanosPerCall(pair, batch) / 2;
            }
            transfer /= 3;
            baseline /= 3;
            check(Arrays.equals(in, out), "bulk " + size + " B came back changed");
            String label = size >= 1024 ? (size / 1024) + " KiB" : size + " B";
            row("bulk transfer call " + label, transfer / 1000, "us/call", "");
            row("pin-and-release baseline " + label, baseline / 1000, "us/call", "");
            row("ratio transfer/baseline " + label, transfer / baseline, "x", size == 64 ? "target <= 2" : "");
        }

        byte[] report = new byte[64];
        byte[] echoed = new byte[64];
        Arrays.fill(report, (byte) 0x5A);
        row("HID round trip (64 B report)", nanosPerCall(() -> {
            KESTRACommUSBAccess.usbWriteInterruptPipe(list, hid, 0, 64, TIMEOUT_MS, report);
            KESTRACommUSBAccess.usbReadInterruptPipe(list, hid, 0, 64, TIMEOUT_MS, echoed);
        }, 2000) / 1000, "us/trip", "write report, read echo");
        check(Arrays.equals(report, echoed), "the HID report did not come back");

        KESTRACommUSBAccess.usbCloseDevice(list, loopback);
        KESTRACommUSBAccess.usbCloseDevice(list, hid);
        KESTRACommUSBAccess.usbReleaseDeviceList(list);
        KESTRACommUSBAccess.usbRelease(handle);
    }
}
