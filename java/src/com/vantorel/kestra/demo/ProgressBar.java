package com.vantorel.kestra.demo;

import java.io.PrintStream;

/**
 * A progress bar with the rate reached so far. On a terminal it is redrawn in
 * place; into a file or a pipe only the finished bar is written, so a log
 * holds one line instead of hundreds.
 */
final class ProgressBar {
    private static final int CELLS = 30;

    private final PrintStream out;
    private final long total;
    private final boolean live;
    private final long startNanos = System.nanoTime();

    ProgressBar(PrintStream out, long total, boolean live) {
        this.out = out;
        this.total = total;
        this.live = live;
    }

    void update(long done) {
        if (live) {
            out.print("\r" + render(done));
            out.flush();
        }
    }

    /** Draws the last state for good and answers the rate in MB/s (10^6 bytes a second). */
    double finish(long done) {
        double rate = rate(done);
        out.print((live ? "\r" : "") + render(done, rate) + "\n");
        return rate;
    }

    private double rate(long done) {
        double seconds = Math.max(1e-9, (System.nanoTime() - startNanos) / 1e9);
        return done / seconds / 1e6;
    }

    private String render(long done) {
        return render(done, rate(done));
    }

    private String render(long done, double rate) {
        int filled = total == 0 ? CELLS : (int) (CELLS * Math.min(done, total) / total);
        return String.format("    [%s%s] %5.1f of %.1f MiB  %7.1f MB/s", "#".repeat(filled),
                ".".repeat(CELLS - filled), done / 1048576.0, total / 1048576.0, rate);
    }
}
