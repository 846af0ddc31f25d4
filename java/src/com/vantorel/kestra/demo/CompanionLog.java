package com.vantorel.kestra.demo;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * The log the demo's companion program appends its argument to ("add" or
 * "remove"), one line a run. The library's monitor thread runs the companion
 * on its own, so the demo watches the log for lines it has not shown yet.
 */
final class CompanionLog {
    private static final long POLL_MS = 20;
    /** After a run, how long the log must stay unchanged before the runs of one change count as complete. */
    private static final long QUIET_MS = 300;

    private final Path file;
    private int shown;

    CompanionLog(Path file) {
        this.file = file;
    }

    Path file() {
        return file;
    }

    /**
     * The runs logged since the last call: waits up to {@code timeoutMs} for the
     * first, then until the log has been quiet for a moment.
     */
    List<String> awaitRuns(long timeoutMs) throws InterruptedException {
        long deadline = System.currentTimeMillis() + timeoutMs;
        List<String> lines = read();
        while (lines.size() <= shown && System.currentTimeMillis() < deadline) {
            Thread.sleep(POLL_MS);
            lines = read();
        }
        if (lines.size() > shown) {
            long quietSince = System.currentTimeMillis();
            int seen = lines.size();
            while (System.currentTimeMillis() - quietSince < QUIET_MS) {
                Thread.sleep(POLL_MS);
                lines = read();
                if (lines.size() != seen) {
                    seen = lines.size();
                    quietSince = System.currentTimeMillis();
                }
            }
        }
        List<String> runs = new ArrayList<>(lines.subList(Math.min(shown, lines.size()), lines.size()));
        shown = lines.size();
        return runs;
    }

    private List<String> read() {
        try {
            return Files.exists(file) ? Files.readAllLines(file, StandardCharsets.UTF_8) : List.of();
        } catch (IOException e) {
            return List.of();
        }
    }
}
