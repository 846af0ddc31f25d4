package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import com.vantorel.kestra.comm.usb.DeviceDescription;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.function.Predicate;

/**
 * The demo client: everything the library is for, on a simulated machine.
 * It lists the machine's USB devices, unplugs a device and plugs it back in
 * (change records and companion runs), drives a WinUSB device (control echo,
 * bulk loopback, descriptors) and HID devices (report echo, time-out), and
 * closes and releases everything again. With {@code --trace} it also switches
 * the library's trace on and prints what was written.
 *
 * <p>scripts/demo sets the stage: the bench copy (TAMBERLYX_BENCH), the
 * simulated machine's drives (TAMBERLYX_SIM_ROOT), and the companion program
 * beside the library with its log (TAMBERLYX_DEMO_COMPANION_LOG).
 */
public final class Demo {
    private final DemoOptions options;
    private final Report report;
    private int failedSections;

    private Demo(DemoOptions options, PrintStream out) {
        this.options = options;
        this.report = new Report(out);
    }

    public static void main(String[] args) {
        int status;
        try {
            DemoOptions options = DemoOptions.parse(args);
            if (options.help) {
                System.out.println(DemoOptions.USAGE);
                return;
            }
            status = new Demo(options, System.out).run();
        } catch (DemoExit exit) {
            System.out.flush();
            System.err.println("demo: " + exit.getMessage());
            if (exit.status == DemoExit.USAGE && exit.getMessage().startsWith("unknown")) {
                System.err.println(DemoOptions.USAGE);
            }
            status = exit.status;
        } catch (IOException | RuntimeException | InterruptedException e) {
            System.out.flush();
            System.err.println("demo: the run stopped: " + e);
            status = DemoExit.FAILED;
        }
        System.exit(status);
    }

    private int run() throws IOException, InterruptedException {
        DemoBench bench = prepareBench();
        TraceFiles trace = options.trace ? new TraceFiles(driveRoot()) : null;
        if (trace != null) {
            trace.enable();
        }
        loadLibrary();

        report.out().println("Tamberlyx demo");
        report.line("library: %s", System.getProperty("tamberlyx.library", "Tamberlyx, from java.library.path"));
        report.line("bench:   %s", options.bench == null ? "the simulated machine's own (TAMBERLYX_BENCH or built-in)"
                : options.bench.toString());
        if (bench != null) {
            report.line("machine: %s, the bench above plus the demo's own host controller", bench.copy());
        }

        report.section("Library");
        int handle = report.call("usbInitialize()", KESTRACommUSBAccess.usbInitialize());
        if (handle < 0) {
            throw DemoExit.failed("the library did not initialise (" + handle + ")");
        }
        Listing all = Listing.create(report, handle, DemoOptions.ALL_VENDORS);
        if (all.devices.isEmpty()) {
            throw DemoExit.failed("the library listed no USB devices on "
                    + (bench == null ? "the simulated machine" : "the bench copy " + bench.copy())
                    + " (a bench the simulated machine refused is named in the message above)");
        }
        Listing shown = all;
        if (options.vendorFilter != DemoOptions.ALL_VENDORS) {
            shown = Listing.create(report, handle, options.vendorFilter);
        }

        report.section(options.vendorFilter == DemoOptions.ALL_VENDORS ? "Devices (all vendors)"
                : String.format("Devices of vendor %04X", options.vendorFilter));
        if (shown.devices.isEmpty()) {
            report.line("The list holds no device of this vendor.");
        } else {
            DeviceTable.print(report, shown, demoOwn());
            report.blank();
            report.line("The record behind row 0, as usbGetDeviceInfo(%d, 0) returns it:", shown.id);
            report.line("  %s", shown.records.get(0));
        }

        report.section("Plug and unplug");
        sectionResult(new PlugCycle(report, bench, all, companionLog()).run());

        OpenDevices devices = new OpenDevices();
        report.section("WinUSB device");
        int winUsb = all.find(d -> d.hasSupportedDriver() && !d.isHid());
        if (winUsb < 0) {
            report.line("The bench has no present WinUSB device.");
        } else {
            sectionResult(new WinUsbSection(report, System.console() != null).run(all, devices, winUsb));
        }

        report.section("HID devices");
        HidSection hid = new HidSection(report);
        int echo = all.find(d -> d.hasSupportedDriver() && d.isHid() && !isSensor(d));
        if (echo < 0) {
            report.line("The bench has no present HID device besides the demo's silent sensor.");
        } else {
            sectionResult(hid.echo(all, devices, echo));
        }
        int sensor = all.find(Demo::isSensor);
        if (sensor >= 0) {
            report.blank();
            sectionResult(hid.silence(all, devices, sensor));
        } else if (bench != null) {
            report.failure("the demo's silent sensor is not in the list");
            failedSections++;
        }

        report.section("Closing");
        boolean closed = devices.closeAll(report);
        if (shown != all) {
            closed &= report.call("usbReleaseDeviceList(" + shown.id + ")",
                    KESTRACommUSBAccess.usbReleaseDeviceList(shown.id)) == 0;
        }
        closed &= report.call("usbReleaseDeviceList(" + all.id + ")",
                KESTRACommUSBAccess.usbReleaseDeviceList(all.id)) == 0;
        closed &= report.call("usbRelease(" + handle + ")", KESTRACommUSBAccess.usbRelease(handle)) == 0;
        sectionResult(closed);

        if (trace != null) {
            report.section("Trace");
            trace.print(report);
            sectionResult(trace.wroteAny());
        }

        report.blank();
        if (failedSections > 0) {
            report.out().println(failedSections + " step(s) FAILED: see above.");
            return DemoExit.FAILED;
        }
        report.out().println("Done: every step worked.");
        return 0;
    }

    private void sectionResult(boolean ok) {
        if (!ok) {
            failedSections++;
        }
    }

    /** Reads the chosen bench and writes the copy the machine runs over; null without a bench. */
    private DemoBench prepareBench() throws IOException {
        if (options.bench == null) {
            return null;
        }
        Path source = options.bench;
        if (!Files.isRegularFile(source) || !Files.isReadable(source)) {
            throw DemoExit.usage("no bench file at " + source);
        }
        String copy = System.getenv("TAMBERLYX_BENCH");
        if (copy == null || copy.isEmpty()) {
            throw DemoExit.usage("--bench needs TAMBERLYX_BENCH to name the copy the demo runs over"
                    + " (scripts/demo sets it)");
        }
        Path copyPath = Paths.get(copy);
        if (copyPath.toAbsolutePath().equals(source.toAbsolutePath())) {
            throw DemoExit.usage("TAMBERLYX_BENCH must name a copy, not the bench itself: the demo rewrites it");
        }
        DemoBench bench = new DemoBench(new String(Files.readAllBytes(source), StandardCharsets.UTF_8), copyPath);
        try {
            bench.write(true);
        } catch (IllegalArgumentException e) {
            throw DemoExit.usage("bench " + source + ": " + e.getMessage());
        }
        return bench;
    }

    /** Loads the native library now, so that a library that cannot be loaded is one clear message. */
    private static void loadLibrary() {
        try {
            KESTRACommUSBAccess.usbGetDeviceListCount(-1);
        } catch (LinkageError e) {
            String path = System.getProperty("tamberlyx.library", "Tamberlyx");
            throw DemoExit.failed("cannot load the native library " + path + ": " + e.getMessage());
        }
    }

    /** Where the simulated machine keeps its drives (as the simulated platform chooses it). */
    private static Path driveRoot() {
        String root = System.getenv("TAMBERLYX_SIM_ROOT");
        if (root != null && !root.isEmpty()) {
            return Paths.get(root);
        }
        String tmp = System.getenv("TMPDIR");
        return Paths.get(tmp != null && !tmp.isEmpty() ? tmp : "/tmp", "tamberlyx-sim");
    }

    private static CompanionLog companionLog() {
        String log = System.getenv("TAMBERLYX_DEMO_COMPANION_LOG");
        return log == null || log.isEmpty() ? null : new CompanionLog(Paths.get(log));
    }

    private static boolean isSensor(DeviceDescription device) {
        return Listing.named(device, DemoBench.SENSOR_PRODUCT, DemoBench.SENSOR_SERIAL);
    }

    private static Predicate<DeviceDescription> demoOwn() {
        return d -> isSensor(d) || Listing.named(d, DemoBench.PROBE_PRODUCT, DemoBench.PROBE_SERIAL);
    }
}
