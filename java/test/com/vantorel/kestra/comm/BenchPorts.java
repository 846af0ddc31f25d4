package com.vantorel.kestra.comm;

import com.vantorel.kestra.testing.BenchExtension;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/** Plugs and unplugs devices under a running JVM by rewriting the bench file its test runs on. */
final class BenchPorts {
    private BenchPorts() {
    }

    /**
     * Replaces the bench with one whose root hub has portCount ports and these
     * devices (bench JSON objects) on ports 1, 2, ... (null: an empty port).
     */
    static void plug(int portCount, String... devices) throws IOException {
        StringBuilder ports = new StringBuilder();
        for (int i = 0; i < devices.length; i++) {
            if (devices[i] == null) {
                continue;
            }
            if (ports.length() > 0) {
                ports.append(", ");
            }
            ports.append('"').append(i + 1).append("\": ").append(devices[i]);
        }
        String bench = "{\"controllers\": [{\"rootHub\": {\"portCount\": " + portCount + ", \"ports\": {" + ports
                + "}}}]}";
        Path file = BenchExtension.benchFile();
        Path next = file.resolveSibling("bench.json.new");
        Files.writeString(next, bench, StandardCharsets.UTF_8);
        Files.move(next, file, StandardCopyOption.REPLACE_EXISTING,
                StandardCopyOption.ATOMIC_MOVE);
    }
}
