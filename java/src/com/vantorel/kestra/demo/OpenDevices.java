package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import java.util.ArrayList;
import java.util.List;

/** The devices the demo opened, so that the end of the run closes each one whatever happened. */
final class OpenDevices {
    private static final class Opened {
        final Listing listing;
        final int index;
        final String name;

        Opened(Listing listing, int index, String name) {
            this.listing = listing;
            this.index = index;
            this.name = name;
        }
    }

    private final List<Opened> opened = new ArrayList<>();

    /** Opens the device at {@code index}; true when the library opened it. */
    boolean open(Report report, Listing listing, int index, String name) {
        int result = report.call(String.format("usbOpenDevice(%d, %d)", listing.id, index),
                KESTRACommUSBAccess.usbOpenDevice(listing.id, index));
        if (result != 0) {
            report.failure("%s could not be opened", name);
            return false;
        }
        opened.add(new Opened(listing, index, name));
        return true;
    }

    /** Closes every device opened, in the order they were opened; true when every close succeeded. */
    boolean closeAll(Report report) {
        boolean ok = true;
        for (Opened device : opened) {
            int result = report.call(String.format("usbCloseDevice(%d, %d)", device.listing.id, device.index),
                    KESTRACommUSBAccess.usbCloseDevice(device.listing.id, device.index));
            report.line("    closed %s", device.name);
            ok &= result == 0;
        }
        opened.clear();
        return ok;
    }
}
