package com.vantorel.kestra.demo;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;

/**
 * The library's trace for one run: the key file that switches it on, and the
 * trace files it wrote. On the simulated machine drive C: is a directory, so
 * both are plain files the demo can write and read.
 */
final class TraceFiles {
    /** The key file the library looks for, and the base path of the trace files it names. */
    static final String KEY_FILE = "c:\\temp\\tolvwinusbdebug.key";
    static final String TRACE_BASE = "c:\\temp\\demo-trace";
    /** Lines printed from the start and the end of the first trace file; the rest stay in the file. */
    private static final int HEAD_LINES = 24;
    private static final int TAIL_LINES = 8;

    private final Path temp;

    /** The trace of the simulated machine whose drives live under {@code driveRoot}. */
    TraceFiles(Path driveRoot) {
        this.temp = driveRoot.resolve("c").resolve("temp");
    }

    /** Writes the key file: from now on every list creation and refresh writes a trace file. */
    void enable() throws IOException {
        Files.createDirectories(temp);
        Files.write(temp.resolve("tolvwinusbdebug.key"), (TRACE_BASE + "\n").getBytes(StandardCharsets.US_ASCII));
    }

    /** Prints which trace files the run wrote and the first of them. */
    void print(Report report) throws IOException {
        report.line("Key file %s (%s) names the base %s.", KEY_FILE, temp.resolve("tolvwinusbdebug.key"), TRACE_BASE);
        List<Path> files = written();
        if (files.isEmpty()) {
            report.failure("the library wrote no trace file");
            return;
        }
        report.line("Trace files written, one per list creation or refresh:");
        for (Path file : files) {
            report.line("  %s  (%d lines)", file, Files.readAllLines(file, StandardCharsets.ISO_8859_1).size());
        }
        Path first = files.get(0);
        List<String> lines = Files.readAllLines(first, StandardCharsets.ISO_8859_1);
        report.blank();
        report.line("%s:", first.getFileName());
        if (lines.size() <= HEAD_LINES + TAIL_LINES) {
            lines.forEach(line -> report.line("  | %s", line));
            return;
        }
        lines.subList(0, HEAD_LINES).forEach(line -> report.line("  | %s", line));
        report.line("  | ... %d lines more in the file ...", lines.size() - HEAD_LINES - TAIL_LINES);
        lines.subList(lines.size() - TAIL_LINES, lines.size()).forEach(line -> report.line("  | %s", line));
    }

    /** Whether the run wrote any trace file. */
    boolean wroteAny() throws IOException {
        return !written().isEmpty();
    }

    /** The trace files, oldest first (their numbers rotate, so the name does not order them). */
    private List<Path> written() throws IOException {
        List<Path> files = new ArrayList<>();
        if (!Files.isDirectory(temp)) {
            return files;
        }
        try (DirectoryStream<Path> stream = Files.newDirectoryStream(temp, "demo-trace_*.txt")) {
            stream.forEach(files::add);
        }
        files.sort(Comparator.comparing((Path p) -> {
            try {
                return Files.getLastModifiedTime(p);
            } catch (IOException e) {
                return null;
            }
        }, Comparator.nullsLast(Comparator.naturalOrder())).thenComparing(Path::toString));
        return files;
    }
}
