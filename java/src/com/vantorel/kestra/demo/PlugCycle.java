package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import com.vantorel.kestra.comm.usb.DeviceDescription;
import java.io.IOException;
import java.util.List;

/**
 * Unplugs the demo's probe and plugs it back in by rewriting the bench copy,
 * and shows what the library makes of it: the change records of the list
 * after a refresh, and the companion program's runs started by the library's
 * device-change monitor.
 */
final class PlugCycle {
    private static final long COMPANION_WAIT_MS = 3000;
    private static final int SELECTOR = 0;

    private final Report report;
    private final DemoBench bench;
    private final Listing listing;
    private final CompanionLog companion;

    PlugCycle(Report report, DemoBench bench, Listing listing, CompanionLog companion) {
        this.report = report;
        this.bench = bench;
        this.listing = listing;
        this.companion = companion;
    }

    /** Runs the cycle; false when a step failed. */
    boolean run() throws IOException, InterruptedException {
        if (bench == null) {
            report.line("Not available: the demo needs a bench copy it can rewrite (TAMBERLYX_BENCH);");
            report.line("run it through scripts/demo.");
            return true;
        }
        int probe = listing.find(d -> Listing.named(d, DemoBench.PROBE_PRODUCT, DemoBench.PROBE_SERIAL));
        if (probe < 0) {
            report.failure("the probe \"%s\" is not in the list", DemoBench.PROBE_PRODUCT);
            return false;
        }
        if (companion == null) {
            report.line("(No companion log named: TAMBERLYX_DEMO_COMPANION_LOG is not set, so companion runs");
            report.line(" cannot be shown.)");
        }
        report.line("The probe \"%s\" is #%d of list %d.", DemoBench.PROBE_PRODUCT, probe, listing.id);
        drainChanges();

        report.blank();
        report.line("Unplugging it: the bench copy is rewritten without the probe.");
        bench.write(false);
        boolean ok = refreshAndShow(probe, false, "remove");

        report.blank();
        report.line("Plugging it back in: the bench copy is rewritten with the probe.");
        bench.write(true);
        ok &= refreshAndShow(probe, true, "add");
        return ok;
    }

    /** Earlier changes would muddle the picture; the cycle starts from none. */
    private void drainChanges() {
        for (int i = 0; i <= listing.devices.size(); i++) {
            String change = KESTRACommUSBAccess.usbGetChangeInfo(listing.id, SELECTOR);
            if (change == null || change.isEmpty()) {
                return;
            }
        }
    }

    private boolean refreshAndShow(int probe, boolean present, String action) throws InterruptedException {
        boolean ok = true;
        int updated = report.call(String.format("usbUpdateDeviceList(%d, 0)", listing.id),
                KESTRACommUSBAccess.usbUpdateDeviceList(listing.id, 0));
        if (updated != 0) {
            return false;
        }
        boolean reported = false;
        for (int i = 0; i <= listing.devices.size() + 1; i++) {
            String change = KESTRACommUSBAccess.usbGetChangeInfo(listing.id, SELECTOR);
            if (change == null || change.isEmpty()) {
                report.line("usbGetChangeInfo(%d, %d) -> \"\" (no more changes)", listing.id, SELECTOR);
                break;
            }
            DeviceDescription described = Listing.parse(change);
            String way = described == null ? "unreadable" : described.isPresent() ? "came back" : "went";
            report.line("usbGetChangeInfo(%d, %d) -> %s   (%s)", listing.id, SELECTOR, change, way);
            reported |= described != null && described.isPresent() == present
                    && Listing.named(described, DemoBench.PROBE_PRODUCT, DemoBench.PROBE_SERIAL);
        }
        if (!reported) {
            report.failure("no change record for the probe");
            ok = false;
        }
        report.line("usbGetDeviceInfo(%d, %d) -> %s", listing.id, probe, listing.recordAt(probe));

        if (companion != null) {
            List<String> runs = companion.awaitRuns(COMPANION_WAIT_MS);
            if (runs.isEmpty()) {
                report.failure("the companion program did not run within %d ms", COMPANION_WAIT_MS);
                ok = false;
            }
            for (String run : runs) {
                report.line("companion program ran: tolvwinusbdevice64.exe %s", run);
            }
            if (!runs.isEmpty() && !runs.contains(action)) {
                report.failure("no companion run with \"%s\"", action);
                ok = false;
            }
        }
        return ok;
    }
}
