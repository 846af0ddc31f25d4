package com.vantorel.kestra.comm;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** How the loader puts the jar's library on disk: never half-written, never where another user could change it. */
class NativeLibraryLoaderTest {
    @TempDir
    Path scratch;

    @Test
    void threadsExtractingAtOnceNeverShowAReaderAnotherFile() throws Exception {
        byte[] library = new byte[4 << 20];
        new Random(7).nextBytes(library);
        String hash = NativeLibraryLoader.sha256(library);
        int writers = 8;
        ExecutorService pool = Executors.newFixedThreadPool(writers + 1);
        AtomicInteger torn = new AtomicInteger();
        try {
            for (int round = 0; round < 10; round++) {
                Path cache = Files.createDirectory(scratch.resolve("cache-" + round));
                Path target = cache.resolve("natives").resolve(hash).resolve("libTamberlyx.so");
                CountDownLatch start = new CountDownLatch(1);
                AtomicBoolean writing = new AtomicBoolean(true);
                Future<?> reader = pool.submit(() -> {
                    while (writing.get()) {
                        try {
                            if (Files.exists(target) && !hash.equals(NativeLibraryLoader.sha256(Files.readAllBytes(target)))) {
                                torn.incrementAndGet();
                            }
                        } catch (java.io.IOException replacedWhileRead) {
                            // Moved into place while opening: the next look sees it whole.
                        }
                    }
                    return null;
                });
                List<Future<Path>> copies = new ArrayList<>();
                for (int i = 0; i < writers; i++) {
                    copies.add(pool.submit(() -> {
                        start.await();
                        return NativeLibraryLoader.extract(
                                new NativeLibraryLoader.Place(cache, cache.resolve("natives")), library, "libTamberlyx.so");
                    }));
                }
                start.countDown();
                for (Future<Path> copy : copies) {
                    assertEquals(target, copy.get());
                }
                writing.set(false);
                reader.get();
                try (var left = Files.list(target.getParent())) {
                    assertEquals(1, left.count(), "temporary files stayed behind");
                }
            }
        } finally {
            pool.shutdownNow();
        }
        assertEquals(0, torn.get(), "a reader saw a copy that was not the library");
    }

    @Test
    void directoriesOthersCouldChangeAreRefusedAndMadeOnesArePrivate() throws Exception {
        byte[] library = "a library".getBytes();
        String hash = NativeLibraryLoader.sha256(library);
        Path base = Files.createDirectory(scratch.resolve("base"));

        Path made = NativeLibraryLoader.extract(new NativeLibraryLoader.Place(base, base.resolve("a/natives")),
                library, "libTamberlyx.so");
        for (Path directory = made.getParent(); !directory.equals(base); directory = directory.getParent()) {
            assertEquals("rwx------", PosixFilePermissions.toString(Files.getPosixFilePermissions(directory)));
        }

        // Planted where the copy would go: open to everybody, or a link elsewhere.
        Path open = Files.createDirectories(base.resolve("b/natives").resolve(hash));
        Files.setPosixFilePermissions(open, PosixFilePermissions.fromString("rwxrwxrwx"));
        Path elsewhere = Files.createDirectory(scratch.resolve("elsewhere"));
        Files.createDirectory(base.resolve("c"));
        Files.createSymbolicLink(base.resolve("c/natives"), elsewhere);
        // A base inside a directory everybody may write to, without the sticky bit.
        Path shared = Files.createDirectory(scratch.resolve("shared"));
        Files.setPosixFilePermissions(shared, PosixFilePermissions.fromString("rwxrwxrwx"));
        Path inShared = Files.createDirectory(shared.resolve("base"));

        List<NativeLibraryLoader.Place> refused = List.of(
                new NativeLibraryLoader.Place(base, base.resolve("b/natives")),
                new NativeLibraryLoader.Place(base, base.resolve("c/natives")),
                new NativeLibraryLoader.Place(inShared, inShared.resolve("natives")));
        List<String> reasons = List.of("others may write to it", "it is a link", "others may change what is in");
        for (int i = 0; i < refused.size(); i++) {
            NativeLibraryLoader.Place place = refused.get(i);
            PrivateDirectory.Refused refusal = assertThrows(PrivateDirectory.Refused.class,
                    () -> NativeLibraryLoader.extract(place, library, "libTamberlyx.so"));
            assertTrue(refusal.getMessage().contains(reasons.get(i)), refusal.getMessage());
        }
        try (var written = Files.list(elsewhere)) {
            assertEquals(0, written.count(), "nothing is written through the link");
        }
        assertTrue(Files.notExists(open.resolve("libTamberlyx.so"), LinkOption.NOFOLLOW_LINKS));
    }
}
