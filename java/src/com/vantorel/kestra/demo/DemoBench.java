package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.usb.desk.Controller;
import com.vantorel.kestra.comm.usb.desk.Device;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/**
 * The bench the demo runs over: a copy of the chosen bench with one host
 * controller of the demo's own appended. That controller carries a HID sensor
 * that never sends a report (for the time-out) and a probe that the demo
 * plugs and unplugs by rewriting the copy, which the simulated machine reads
 * again when it changes.
 *
 * <p>The controller is appended after the bench's own controllers, so every
 * device of the bench keeps its place, and with it the names the simulated
 * machine derives from that place.
 */
final class DemoBench {
    /** The probe that is plugged and unplugged. */
    static final String PROBE_PRODUCT = "Kestra Field Probe";
    static final String PROBE_SERIAL = "KF-DEMO-1";
    /** The HID sensor that stays silent. */
    static final String SENSOR_PRODUCT = "Kestra Quiet Sensor";
    static final String SENSOR_SERIAL = "KQ-DEMO-1";

    private final String original;
    private final Path copy;

    /** A demo bench made from the bench text {@code original}, written to {@code copy}. */
    DemoBench(String original, Path copy) {
        this.original = original;
        this.copy = copy;
    }

    /** The bench file the simulated machine reads. */
    Path copy() {
        return copy;
    }

    /** Writes the copy with the probe plugged in or not. */
    void write(boolean probePlugged) throws IOException {
        String text = withController(original, demoController(probePlugged));
        // Written beside the copy and moved over it, so that the machine, which
        // may look at any moment, reads either the old bench or the new one.
        Path next = copy.resolveSibling(copy.getFileName() + ".next");
        Files.write(next, text.getBytes(StandardCharsets.UTF_8));
        Files.move(next, copy, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
    }

    /** The demo's host controller, as one element of a bench's "controllers" array. */
    static String demoController(boolean probePlugged) {
        Controller controller = new Controller()
                .instanceId("ACPI\\TBXDEMO\\0")
                .description("Demo Host Controller")
                .service("usbehci");
        controller.rootHub().portCount(2).port(1, Device.hid(0x1A2B, 0x0003)
                .release(0x0100).speed("full")
                .manufacturer("Vantorel Labs").product(SENSOR_PRODUCT).serialNumber(SENSOR_SERIAL)
                .silentReports());
        if (probePlugged) {
            controller.rootHub().port(2, Device.winUsb(0x1A2B, 0x0005)
                    .release(0x0100)
                    .manufacturer("Vantorel Labs").product(PROBE_PRODUCT).serialNumber(PROBE_SERIAL));
        }
        // Indented to sit in the bench's "controllers" array.
        return "    // Added by the demo: a silent HID sensor, and a probe it plugs and unplugs.\n"
                + controller.toJson().replaceAll("(?m)^", "    ");
    }

    /**
     * The bench text with {@code controller} appended to its "controllers"
     * array (which is created when the bench has none). The text may hold the
     * comments a bench allows.
     *
     * @throws IllegalArgumentException when the text is not a JSON object, or
     *         its "controllers" is not an array
     */
    static String withController(String bench, String controller) {
        JsonScanner scan = new JsonScanner(bench);
        int open = scan.skipInsignificant(0);
        if (open >= bench.length() || bench.charAt(open) != '{') {
            throw new IllegalArgumentException("the bench is not a JSON object");
        }
        int at = scan.skipInsignificant(open + 1);
        boolean firstMember = true;
        while (at < bench.length() && bench.charAt(at) != '}') {
            if (!firstMember) {
                at = scan.skipInsignificant(scan.expect(at, ','));
            }
            firstMember = false;
            int keyEnd = scan.skipString(at);
            String key = bench.substring(at + 1, keyEnd - 1);
            int valueStart = scan.skipInsignificant(scan.expect(keyEnd, ':'));
            int valueEnd = scan.skipValue(valueStart);
            if (key.equals("controllers")) {
                if (bench.charAt(valueStart) != '[') {
                    throw new IllegalArgumentException("the bench's \"controllers\" is not an array");
                }
                int close = valueEnd - 1;
                boolean empty = scan.skipInsignificant(valueStart + 1) == close;
                return bench.substring(0, close) + (empty ? "\n" : ",\n") + controller + "\n"
                        + bench.substring(close);
            }
            at = scan.skipInsignificant(valueEnd);
        }
        if (at >= bench.length()) {
            throw new IllegalArgumentException("the bench's object is not closed");
        }
        return bench.substring(0, at) + (firstMember ? "" : ",\n") + "  \"controllers\": [\n" + controller
                + "\n  ]\n" + bench.substring(at);
    }

    /** Just enough of JSON with comments to find where a value starts and ends. */
    private static final class JsonScanner {
        private final String text;

        JsonScanner(String text) {
            this.text = text;
        }

        /** The first position at or after {@code at} that is not blank space or a comment. */
        int skipInsignificant(int at) {
            while (at < text.length()) {
                char c = text.charAt(at);
                if (Character.isWhitespace(c)) {
                    at++;
                } else if (text.startsWith("//", at)) {
                    int end = text.indexOf('\n', at);
                    at = end < 0 ? text.length() : end + 1;
                } else if (text.startsWith("/*", at)) {
                    int end = text.indexOf("*/", at + 2);
                    if (end < 0) {
                        throw new IllegalArgumentException("a comment of the bench is not closed");
                    }
                    at = end + 2;
                } else {
                    break;
                }
            }
            return at;
        }

        /** The position after {@code c}, which must come next. */
        int expect(int at, char c) {
            at = skipInsignificant(at);
            if (at >= text.length() || text.charAt(at) != c) {
                throw new IllegalArgumentException("the bench is not well-formed JSON near offset " + at);
            }
            return at + 1;
        }

        /** The position after the string that starts at {@code at}. */
        int skipString(int at) {
            at = skipInsignificant(at);
            if (at >= text.length() || text.charAt(at) != '"') {
                throw new IllegalArgumentException("the bench is not well-formed JSON near offset " + at);
            }
            for (int i = at + 1; i < text.length(); i++) {
                char c = text.charAt(i);
                if (c == '\\') {
                    i++;
                } else if (c == '"') {
                    return i + 1;
                }
            }
            throw new IllegalArgumentException("a string of the bench is not closed");
        }

        /** The position after the value that starts at {@code at}. */
        int skipValue(int at) {
            if (at >= text.length()) {
                throw new IllegalArgumentException("the bench ends where a value belongs");
            }
            char first = text.charAt(at);
            if (first == '"') {
                return skipString(at);
            }
            if (first != '{' && first != '[') {
                int end = at;
                while (end < text.length() && ",}]/ \t\r\n".indexOf(text.charAt(end)) < 0) {
                    end++;
                }
                return end;
            }
            int depth = 0;
            for (int i = at; i < text.length(); ) {
                i = skipInsignificant(i);
                if (i >= text.length()) {
                    break;
                }
                char c = text.charAt(i);
                if (c == '"') {
                    i = skipString(i);
                    continue;
                }
                if (c == '{' || c == '[') {
                    depth++;
                } else if (c == '}' || c == ']') {
                    depth--;
                    if (depth == 0) {
                        return i + 1;
                    }
                }
                i++;
            }
            throw new IllegalArgumentException("a value of the bench is not closed");
        }
    }
}
