package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTimeoutPreemptively;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.BufferedReader;
import java.io.File;
import java.io.InputStreamReader;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.Duration;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/**
 * Unplugging a device under a running program: the library's monitor runs
 * the companion program that lies beside the library with "remove".
 *
 * <p>The bench file is named by the environment, so the library runs in a
 * program of its own ({@link MonitorHost}), loaded from a directory (with a
 * blank in its name) that also holds the companion.
 */
class DeviceChangeMonitorTest {
    private static final String LOOPBACK =
            "\"1\": {\"vendorId\": \"0x1A2B\", \"productId\": \"0x0001\", \"product\": \"Loop\", \"kind\": \"winusb\"}";
    private static final String PAD =
            "\"2\": {\"vendorId\": \"0x1A2B\", \"productId\": \"0x0002\", \"product\": \"Pad\", \"kind\": \"winusb\"}";

    private static String bench(boolean withPad, int revision) {
        return "// revision " + revision + "\n"
                + "{\"controllers\": [{\"pci\": {\"vendor\": \"0x1B6F\", \"device\": \"0x7052\"},\n"
                + " \"rootHub\": {\"portCount\": 4, \"ports\": {" + LOOPBACK + (withPad ? ", " + PAD : "")
                + "}}}]}\n";
    }

    private static String classPathOf(Class<?> type) throws Exception {
        return Paths.get(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
    }

    @Test
    void unpluggingADeviceRunsTheCompanionBesideTheLibraryWithRemove() {
        assertTimeoutPreemptively(Duration.ofSeconds(90), () -> {
            Path work = Paths.get(System.getProperty("tamberlyx.work"));
            Path libraryDir = Files.createDirectories(work.resolve("library dir"));
            Path library = libraryDir.resolve("libTamberlyx.so");
            Files.copy(Paths.get(System.getProperty("tamberlyx.library")), library,
                    StandardCopyOption.REPLACE_EXISTING);
            Path log = work.resolve("companion.log");
            Path companion = libraryDir.resolve("tolvwinusbdevice64");
            Files.writeString(companion, "#!/bin/sh\necho \"$# $1\" >> '" + log + "'\n");
            Files.setPosixFilePermissions(companion, PosixFilePermissions.fromString("rwxr-xr-x"));
            Path benchFile = work.resolve("bench.json");
            int revision = 0;
            Files.writeString(benchFile, bench(true, revision++));

            String java = Paths.get(System.getProperty("java.home"), "bin", "java").toString();
            ProcessBuilder builder = new ProcessBuilder(java, "-Xcheck:jni", "-Dtamberlyx.library=" + library,
                    "-cp", classPathOf(KESTRACommUSBAccess.class) + File.pathSeparator + classPathOf(MonitorHost.class),
                    MonitorHost.class.getName());
            builder.environment().put("TAMBERLYX_BENCH", benchFile.toString());
            builder.redirectErrorStream(true);
            Process host = builder.start();
            List<String> output = new ArrayList<>();
            BufferedReader fromHost =
                    new BufferedReader(new InputStreamReader(host.getInputStream(), StandardCharsets.UTF_8));
            for (String line; (line = fromHost.readLine()) != null && !line.equals("ready"); ) output.add(line);
            assertTrue(host.isAlive(), "the host ended early: " + output);

            // The machine is read from the bench on its first use; until then a
            // rewrite only sets what is read. So the pad is taken away and put
            // back until its removal has been seen.
            long end = System.nanoTime() + TimeUnit.SECONDS.toNanos(60);
            while (!(Files.exists(log) && Files.readAllLines(log).contains("1 remove")) && System.nanoTime() < end) {
                Files.writeString(benchFile, bench(false, revision++));
                Thread.sleep(400);
                if (Files.exists(log) && Files.readAllLines(log).contains("1 remove")) break;
                Files.writeString(benchFile, bench(true, revision++));
                Thread.sleep(400);
            }

            try (Writer toHost = new OutputStreamWriter(host.getOutputStream(), StandardCharsets.UTF_8)) {
                toHost.write("quit\n");
            }
            for (String line; (line = fromHost.readLine()) != null; ) output.add(line);
            assertTrue(host.waitFor(30, TimeUnit.SECONDS));
            assertEquals(0, host.exitValue(), "host output: " + output);
            for (String line : output) {
                assertFalse(line.contains("WARNING in native method") || line.contains("FATAL ERROR"), line);
            }

            List<String> runs = Files.readAllLines(log);
            assertTrue(runs.contains("1 remove"), "companion runs: " + runs);
            // Each run had exactly the action as its argument, although the
            // library's directory holds a blank.
            for (String run : runs) assertTrue(run.equals("1 remove") || run.equals("1 add"), "run: " + run);
        });
    }
}
