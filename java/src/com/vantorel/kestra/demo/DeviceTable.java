package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.usb.DeviceDescription;
import java.util.ArrayList;
import java.util.List;
import java.util.function.Predicate;

/** The device records of a list as a table a person can read. */
final class DeviceTable {
    private static final int TEXT_LIMIT = 24;
    private static final String[] HEADINGS =
            {"#", "present", "VID:PID", "release", "manufacturer", "product", "serial", "driver", "kind"};

    private DeviceTable() {}

    /** Prints the table; rows that {@code demoOwn} accepts are marked with "*". */
    static void print(Report report, Listing listing, Predicate<DeviceDescription> demoOwn) {
        List<String[]> rows = new ArrayList<>();
        rows.add(HEADINGS);
        boolean marked = false;
        for (int index = 0; index < listing.devices.size(); index++) {
            DeviceDescription device = listing.devices.get(index);
            if (device == null) {
                rows.add(new String[] {String.valueOf(index), "?", "unreadable record: " + listing.records.get(index),
                    "", "", "", "", "", ""});
                continue;
            }
            boolean own = demoOwn.test(device);
            marked |= own;
            rows.add(new String[] {
                index + (own ? "*" : ""),
                device.isPresent() ? "yes" : "no",
                String.format("%04X:%04X", device.vendorId(), device.productId()),
                Report.bcd(device.releaseBcd()),
                cut(device.manufacturer().orElse("-")),
                cut(device.product().orElse("-")),
                cut(device.serialNumber().orElse("-")),
                device.hasSupportedDriver() ? "yes" : "no",
                device.isHid() ? "HID" : "bulk",
            });
        }
        int[] widths = new int[HEADINGS.length];
        for (String[] row : rows) {
            for (int column = 0; column < row.length; column++) {
                // An unreadable record spans the table; it does not widen the columns.
                if (row.length == HEADINGS.length && !(row[1].equals("?") && column == 2)) {
                    widths[column] = Math.max(widths[column], row[column].length());
                }
            }
        }
        for (String[] row : rows) {
            StringBuilder line = new StringBuilder();
            for (int column = 0; column < row.length; column++) {
                String cell = row[column];
                line.append(column == 0 ? String.format("%" + Math.max(2, widths[0]) + "s", cell)
                        : String.format("%-" + widths[column] + "s", cell));
                line.append("  ");
            }
            report.line("%s", line.toString().stripTrailing());
        }
        report.blank();
        report.line("driver: a WinUSB or HID driver the library can use (\"x\" in the record, else \"o\");");
        report.line("kind:   HID (\"h\") or bulk/WinUSB (\"b\"); \"-\": the device has no such string (\"?\").");
        if (marked) {
            report.line("*:      the demo's own devices, on a host controller it adds to its copy of the bench.");
        }
    }

    private static String cut(String text) {
        return text.length() <= TEXT_LIMIT ? text : text.substring(0, TEXT_LIMIT - 3) + "...";
    }
}
