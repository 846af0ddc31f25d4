package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * A WinUSB device at work: a vendor control request echoed, a bulk loopback
 * of a few MiB, and the descriptors the library keeps from the listing.
 */
final class WinUsbSection {
    /** Bulk endpoint 1: OUT 0x01, and the library reads from IN 0x81. */
    private static final int PIPE = 1;
    private static final int TOTAL_BYTES = 4 << 20;
    /** The loopback device buffers 64 KiB; one transfer each way at a time fits. */
    private static final int CHUNK_BYTES = 64 << 10;
    private static final int TIMEOUT_MS = 2000;
    private static final int SETUP_BYTES = 8;
    private static final int UNUSED = 0;
    private static final int STRING_ROOM = 128;

    private final Report report;
    private final boolean liveProgress;

    WinUsbSection(Report report, boolean liveProgress) {
        this.report = report;
        this.liveProgress = liveProgress;
    }

    boolean run(Listing listing, OpenDevices devices, int index) {
        String name = listing.devices.get(index).product().orElse("the WinUSB device");
        report.line("Device #%d: %s", index, name);
        if (!devices.open(report, listing, index, name)) {
            return false;
        }
        boolean ok = controlEcho(listing.id, index);
        report.blank();
        ok &= bulkLoopback(listing.id, index);
        report.blank();
        ok &= descriptors(listing.id, index);
        return ok;
    }

    private boolean controlEcho(int list, int index) {
        byte[] message = "Hello from Tamberlyx".getBytes(StandardCharsets.US_ASCII);
        report.line("Vendor control request out (type 0x40, request 0x01) with \"%s\", then in (0xC0, 0x02):",
                new String(message, StandardCharsets.US_ASCII));
        byte[] out = setupPacket(0x40, 0x01, message.length);
        System.arraycopy(message, 0, out, SETUP_BYTES, message.length);
        int written = report.call(String.format("usbWriteControlPipe(%d, %d, %d, 0, data)", list, index, message.length),
                KESTRACommUSBAccess.usbWriteControlPipe(list, index, message.length, UNUSED, out));
        byte[] in = setupPacket(0xC0, 0x02, message.length);
        int read = report.call(String.format("usbReadControlPipe(%d, %d, %d, 0, data)", list, index, message.length),
                KESTRACommUSBAccess.usbReadControlPipe(list, index, message.length, UNUSED, in));
        if (written != message.length || read != message.length) {
            report.failure("the control transfers did not move %d bytes each way", message.length);
            return false;
        }
        byte[] echoed = Arrays.copyOfRange(in, SETUP_BYTES, SETUP_BYTES + read);
        report.line("echoed: \"%s\"", new String(echoed, StandardCharsets.ISO_8859_1));
        if (!Arrays.equals(echoed, message)) {
            report.failure("the echo differs from what was sent");
            return false;
        }
        return true;
    }

    private boolean bulkLoopback(int list, int index) {
        report.line("Bulk loopback: %d MiB out on pipe 0x%02X and back in on 0x%02X, %d KiB a transfer:",
                TOTAL_BYTES >> 20, PIPE, PIPE | 0x80, CHUNK_BYTES >> 10);
        byte[] chunk = new byte[CHUNK_BYTES];
        byte[] received = new byte[CHUNK_BYTES];
        ProgressBar bar = new ProgressBar(report.out(), TOTAL_BYTES, liveProgress);
        long done = 0;
        for (int sent = 0; sent < TOTAL_BYTES; sent += CHUNK_BYTES) {
            fillPattern(chunk, sent);
            int written = KESTRACommUSBAccess.usbWriteBulkPipe(list, index, PIPE, CHUNK_BYTES, TIMEOUT_MS, chunk);
            if (written != CHUNK_BYTES) {
                bar.finish(done);
                report.call(String.format("usbWriteBulkPipe(%d, %d, %d, %d, %d, data)", list, index, PIPE,
                        CHUNK_BYTES, TIMEOUT_MS), written);
                report.failure("the bulk write at offset %d did not take %d bytes", sent, CHUNK_BYTES);
                return false;
            }
            int got = 0;
            while (got < CHUNK_BYTES) {
                byte[] part = got == 0 ? received : new byte[CHUNK_BYTES - got];
                int read = KESTRACommUSBAccess.usbReadBulkPipe(list, index, PIPE, CHUNK_BYTES - got, TIMEOUT_MS, part);
                if (read <= 0) {
                    bar.finish(done);
                    report.call(String.format("usbReadBulkPipe(%d, %d, %d, %d, %d, data)", list, index, PIPE,
                            CHUNK_BYTES - got, TIMEOUT_MS), read);
                    report.failure("the bulk read at offset %d brought nothing back", sent + got);
                    return false;
                }
                if (part != received) {
                    System.arraycopy(part, 0, received, got, read);
                }
                got += read;
            }
            if (!Arrays.equals(chunk, received)) {
                bar.finish(done);
                report.failure("the data that came back at offset %d differs from what was sent", sent);
                return false;
            }
            done += CHUNK_BYTES;
            bar.update(done);
        }
        double rate = bar.finish(done);
        report.line("%d bytes sent and received back unchanged: %.1f MB/s", done, rate);
        return true;
    }

    private boolean descriptors(int list, int index) {
        report.line("Descriptors, answered from what the listing stored:");
        byte[] device = new byte[18];
        int result = report.call(String.format("usbGetDeviceDescriptor(%d, %d, 1, 0, 18, data)", list, index),
                KESTRACommUSBAccess.usbGetDeviceDescriptor(list, index, 1, 0, 18, device));
        if (result != 0) {
            report.failure("no device descriptor");
            return false;
        }
        report.line("device descriptor: %s", Report.hex(device, 0, device.length));
        report.line("  USB %s, class %02X/%02X/%02X, control packets of %d bytes, %04X:%04X release %s,",
                Report.bcd(word(device, 2)), device[4] & 0xFF, device[5] & 0xFF, device[6] & 0xFF, device[7] & 0xFF,
                word(device, 8), word(device, 10), Report.bcd(word(device, 12)));
        report.line("  string indices %d/%d/%d, %d configuration(s)", device[14] & 0xFF, device[15] & 0xFF,
                device[16] & 0xFF, device[17] & 0xFF);
        boolean ok = true;
        String[] kinds = {"manufacturer", "product", "serial number"};
        for (int kind = 1; kind <= kinds.length; kind++) {
            byte[] text = new byte[STRING_ROOM];
            int answer = report.call(String.format("usbGetDeviceDescriptor(%d, %d, 3, %d, %d, data)", list, index,
                    kind, STRING_ROOM), KESTRACommUSBAccess.usbGetDeviceDescriptor(list, index, 3, kind, STRING_ROOM, text));
            if (answer == 0) {
                report.line("  %s: \"%s\"", kinds[kind - 1], zeroTerminated(text));
            } else {
                ok = false;
            }
        }
        return ok;
    }

    static byte[] setupPacket(int requestType, int request, int length) {
        byte[] buffer = new byte[SETUP_BYTES + length];
        buffer[0] = (byte) requestType;
        buffer[1] = (byte) request;
        buffer[6] = (byte) length;
        buffer[7] = (byte) (length >> 8);
        return buffer;
    }

    private static void fillPattern(byte[] chunk, int offset) {
        for (int i = 0; i < chunk.length; i++) {
            int position = offset + i;
            chunk[i] = (byte) (position ^ (position >>> 8) ^ (position >>> 16));
        }
    }

    private static int word(byte[] bytes, int at) {
        return (bytes[at] & 0xFF) | (bytes[at + 1] & 0xFF) << 8;
    }

    /** The library keeps one byte per character, so the text is read as Latin-1. */
    static String zeroTerminated(byte[] text) {
        int length = 0;
        while (length < text.length && text[length] != 0) {
            length++;
        }
        return new String(text, 0, length, StandardCharsets.ISO_8859_1);
    }
}
