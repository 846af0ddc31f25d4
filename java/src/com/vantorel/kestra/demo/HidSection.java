package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * HID devices at work: a 64-byte report written to an echo device and read
 * back, and a read from a device that never answers, ended by its time-out.
 */
final class HidSection {
    private static final int REPORT_BYTES = 64;
    private static final int UNUSED_PIPE = 0;
    private static final int ECHO_TIMEOUT_MS = 1000;
    private static final int SILENT_TIMEOUT_MS = 250;
    private static final int TIMED_OUT = -7;

    private final Report report;

    HidSection(Report report) {
        this.report = report;
    }

    /** Writes a report to the echo device at {@code index} and reads its echo. */
    boolean echo(Listing listing, OpenDevices devices, int index) {
        String name = listing.devices.get(index).product().orElse("the HID device");
        report.line("Device #%d: %s", index, name);
        if (!devices.open(report, listing, index, name)) {
            return false;
        }
        byte[] sent = new byte[REPORT_BYTES];
        byte[] text = "Tamberlyx report".getBytes(StandardCharsets.US_ASCII);
        System.arraycopy(text, 0, sent, 0, text.length);
        for (int i = text.length; i < REPORT_BYTES; i++) {
            sent[i] = (byte) i;
        }
        int written = report.call(call("usbWriteInterruptPipe", listing.id, index, ECHO_TIMEOUT_MS),
                KESTRACommUSBAccess.usbWriteInterruptPipe(listing.id, index, UNUSED_PIPE, REPORT_BYTES,
                        ECHO_TIMEOUT_MS, sent.clone()));
        report.line("report out (report id 0 and these 64 bytes, so 65 counted):");
        report.hexDump(sent, REPORT_BYTES);
        byte[] received = new byte[REPORT_BYTES];
        int read = report.call(call("usbReadInterruptPipe", listing.id, index, ECHO_TIMEOUT_MS),
                KESTRACommUSBAccess.usbReadInterruptPipe(listing.id, index, UNUSED_PIPE, REPORT_BYTES,
                        ECHO_TIMEOUT_MS, received));
        if (written < 0 || read < 0) {
            report.failure("the report did not go out and come back");
            return false;
        }
        report.line("report in:");
        report.hexDump(received, REPORT_BYTES);
        if (!Arrays.equals(sent, received)) {
            report.failure("the echo differs from the report sent");
            return false;
        }
        report.line("the echo matches the report sent.");
        return true;
    }

    /** Reads from the silent device at {@code index}: the read must end with its time-out. */
    boolean silence(Listing listing, OpenDevices devices, int index) {
        String name = listing.devices.get(index).product().orElse("the silent HID device");
        report.line("Device #%d: %s, which takes reports but never sends one", index, name);
        if (!devices.open(report, listing, index, name)) {
            return false;
        }
        report.call(call("usbWriteInterruptPipe", listing.id, index, SILENT_TIMEOUT_MS),
                KESTRACommUSBAccess.usbWriteInterruptPipe(listing.id, index, UNUSED_PIPE, REPORT_BYTES,
                        SILENT_TIMEOUT_MS, new byte[REPORT_BYTES]));
        byte[] received = new byte[REPORT_BYTES];
        long start = System.nanoTime();
        int read = report.call(call("usbReadInterruptPipe", listing.id, index, SILENT_TIMEOUT_MS),
                KESTRACommUSBAccess.usbReadInterruptPipe(listing.id, index, UNUSED_PIPE, REPORT_BYTES,
                        SILENT_TIMEOUT_MS, received));
        long elapsedMs = (System.nanoTime() - start) / 1_000_000;
        if (read != TIMED_OUT) {
            report.failure("the read of a silent device ended with %d instead of its time-out", read);
            return false;
        }
        report.line("no report within %d ms: the read was cancelled and ended after %d ms.", SILENT_TIMEOUT_MS,
                elapsedMs);
        return true;
    }

    private static String call(String method, int list, int index, int timeout) {
        return String.format("%s(%d, %d, 0, %d, %d, data)", method, list, index, REPORT_BYTES, timeout);
    }
}
