package com.vantorel.kestra.comm.usb.desk;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

/**
 * A desk of simulated USB devices for tests of Java code over
 * {@code libTamberlyx.so}: builds the bench file the simulated machine runs
 * on, writes it where the system property {@code tamberlyx.bench} or else
 * the environment variable {@code TAMBERLYX_BENCH} says, and plugs and unplugs devices by rewriting it.
 *
 * <pre>{@code
 * SimulatedDesk desk = new SimulatedDesk();
 * desk.addController().rootHub()
 *     .port(1, Device.winUsb(0x1A2B, 0x0001).product("Loopback").serialNumber("L-1"));
 * desk.write();                                   // before the library is first used
 * ...
 * desk.plug(PortPath.of(0, 2), Device.hid(0x1A2B, 0x0002).silentReports());
 * desk.unplug(PortPath.of(0, 1));
 * }</pre>
 *
 * The machine reads the file when the library first asks it anything, and
 * again whenever it changes: at the next list refresh, or within about 50 ms
 * while the library's device-change monitor runs. Every write replaces the
 * file in one step, so the machine never reads half a bench. A bench the
 * machine refuses is reported on the standard error stream and the machine
 * stays as it was.
 */
public final class SimulatedDesk extends BenchNode<SimulatedDesk> {
    /** The system property that names the bench file; it wins over the variable. */
    public static final String BENCH_PROPERTY = "tamberlyx.bench";
    /** The environment variable that names the bench file. */
    public static final String BENCH_VARIABLE = "TAMBERLYX_BENCH";

    private final List<Object> controllers = new ArrayList<>();
    private Path file;

    public SimulatedDesk() {
        set("controllers", controllers);
    }

    @Override
    SimulatedDesk self() {
        return this;
    }

    /** Adds a host controller; its index is the number of controllers added before it. */
    public synchronized Controller addController() {
        Controller controller = new Controller();
        controllers.add(controller);
        return controller;
    }

    /** The controller of index {@code index}. */
    public synchronized Controller controller(int index) {
        return (Controller) controllers.get(index);
    }

    /** The machine has no "winusb.dll": WinUSB devices are listed but cannot be opened. */
    public SimulatedDesk withoutWinUsb() {
        return nested(false, "winusbDll", "present");
    }

    /** The bench file's text. */
    @Override
    public synchronized String toJson() {
        return super.toJson() + "\n";
    }

    /**
     * Writes the bench to the file the library reads, named by the system
     * property {@code tamberlyx.bench} or else the environment variable
     * {@code TAMBERLYX_BENCH}; later plugs and unplugs rewrite that file.
     *
     * @throws IllegalStateException when neither is set: the test JVM must be
     *         started with one naming a file the test may write (see the
     *         build's test settings)
     */
    public synchronized Path write() throws IOException {
        String named = System.getProperty(BENCH_PROPERTY, "");
        if (named.isEmpty()) {
            named = System.getenv(BENCH_VARIABLE);
        }
        if (named == null || named.isEmpty()) {
            throw new IllegalStateException("neither the system property " + BENCH_PROPERTY
                    + " nor the environment variable " + BENCH_VARIABLE
                    + " is set; start the test JVM with one naming a file the test may write");
        }
        return writeTo(Path.of(named));
    }

    /** Writes the bench to {@code target}; later plugs and unplugs rewrite that file. */
    public synchronized Path writeTo(Path target) throws IOException {
        Path absolute = target.toAbsolutePath();
        Path directory = absolute.getParent();
        Files.createDirectories(directory);
        Path temporary = Files.createTempFile(directory, absolute.getFileName() + ".", ".part");
        try {
            Files.writeString(temporary, toJson(), StandardCharsets.UTF_8);
            Files.move(temporary, absolute, StandardCopyOption.ATOMIC_MOVE, StandardCopyOption.REPLACE_EXISTING);
        } finally {
            Files.deleteIfExists(temporary);
        }
        file = absolute;
        return absolute;
    }

    /** Puts {@code device} on the port {@code path} names and rewrites the bench file. */
    public synchronized void plug(PortPath path, Device device) throws IOException {
        hubAbove(path).port(lastPort(path), device);
        rewrite();
    }

    /** Empties the port {@code path} names (the device and what hangs below it go) and rewrites the bench file. */
    public synchronized void unplug(PortPath path) throws IOException {
        Hub hub = hubAbove(path);
        if (hub.device(lastPort(path)) == null) {
            throw new IllegalArgumentException("no device on port " + path);
        }
        hub.emptyPort(lastPort(path));
        rewrite();
    }

    private void rewrite() throws IOException {
        if (file == null) {
            throw new IllegalStateException("write the desk before plugging and unplugging");
        }
        writeTo(file);
    }

    private Hub hubAbove(PortPath path) {
        if (path.controller() >= controllers.size()) {
            throw new IllegalArgumentException("no controller " + path.controller() + " for " + path);
        }
        Hub hub = controller(path.controller()).rootHub();
        int[] ports = path.ports();
        for (int i = 0; i < ports.length - 1; i++) {
            Device device = hub.device(ports[i]);
            if (device == null || !device.isHub()) {
                throw new IllegalArgumentException("no hub on the way to " + path + " at port " + ports[i]);
            }
            hub = device.downstream();
        }
        return hub;
    }

    private static int lastPort(PortPath path) {
        int[] ports = path.ports();
        return ports[ports.length - 1];
    }
}
