package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.usb.UsbResult;
import java.io.PrintStream;
import java.util.Optional;

/** How the demo writes what it does: sections, native calls with their results, hex dumps. */
final class Report {
    private static final String INDENT = "  ";
    private static final int WIDTH = 78;

    private final PrintStream out;

    Report(PrintStream out) {
        this.out = out;
    }

    PrintStream out() {
        return out;
    }

    void section(String title) {
        out.println();
        String head = "== " + title + " ";
        out.println(head + "=".repeat(Math.max(3, WIDTH - head.length())));
    }

    void line(String format, Object... args) {
        out.println(INDENT + String.format(format, args));
    }

    void blank() {
        out.println();
    }

    /**
     * One native call and what it returned; a negative status is named. Returns
     * the result, so that a call can be made, shown and tested in one place.
     */
    int call(String call, int result) {
        out.println(INDENT + call + " -> " + result + meaning(call, result));
        return result;
    }

    /** A call that failed in a way the demo counts as a failure of its section. */
    void failure(String format, Object... args) {
        out.println(INDENT + "FAILED: " + String.format(format, args));
    }

    /** Sixteen bytes a line: offset, hex, printable characters. */
    void hexDump(byte[] data, int length) {
        for (int offset = 0; offset < length; offset += 16) {
            StringBuilder hex = new StringBuilder();
            StringBuilder text = new StringBuilder();
            for (int i = offset; i < offset + 16; i++) {
                if (i < length) {
                    int b = data[i] & 0xFF;
                    hex.append(String.format("%02X ", b));
                    text.append(b >= 0x20 && b < 0x7F ? (char) b : '.');
                } else {
                    hex.append("   ");
                }
            }
            out.println(INDENT + INDENT + String.format("%04X  %s %s", offset, hex, text));
        }
    }

    static String hex(byte[] data, int from, int length) {
        StringBuilder hex = new StringBuilder();
        for (int i = from; i < from + length; i++) {
            if (hex.length() > 0) {
                hex.append(' ');
            }
            hex.append(String.format("%02X", data[i] & 0xFF));
        }
        return hex.toString();
    }

    /** A USB binary-coded decimal number as a person writes it: 0x0110 is "1.10". */
    static String bcd(int value) {
        return String.format("%X.%02X", (value >> 8) & 0xFF, value & 0xFF);
    }

    private static String meaning(String call, int result) {
        if (result >= 0) {
            return "";
        }
        Optional<UsbResult> meaning = call.startsWith("usbOpenDevice") ? UsbResult.ofOpenDevice(result)
                : UsbResult.of(result);
        return meaning.map(m -> " (" + m.name() + ": " + m.description() + ")").orElse(" (unknown status)");
    }
}
