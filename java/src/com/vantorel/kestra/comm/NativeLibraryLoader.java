package com.vantorel.kestra.comm;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Loads the native library for the peer class: from the path in the system
 * property {@code tamberlyx.library}, else by name from
 * {@code java.library.path}, else from the jar the class came from.
 *
 * <p>A library in the jar lies at {@code natives/OS-ARCH/NAME}. It is copied
 * into a per-user cache, into a directory named by the SHA-256 of its bytes,
 * under its own file name (so the configuration file and the companion
 * program the library looks for beside itself keep their names). The copy is
 * written to a temporary file in that directory and moved into place in one
 * step, so JVMs starting at the same time never load a half-written file,
 * and whatever lies in the cache is hashed again before it is loaded.
 */
final class NativeLibraryLoader {
    static final String LIBRARY_PROPERTY = "tamberlyx.library";
    static final String LIBRARY_NAME = "Tamberlyx";
    static final String NATIVES = "natives";
    /** What the jar holds, for the message when nothing fits; the build keeps it in step with the jar. */
    static final String[] PACKAGED = {"windows-x86_64/Tamberlyx.dll", "linux-x86_64/libTamberlyx.so"};

    private NativeLibraryLoader() {}

    static void load() {
        String path = System.getProperty(LIBRARY_PROPERTY);
        if (path != null && !path.isEmpty()) {
            System.load(path);
            return;
        }
        UnsatisfiedLinkError byName;
        try {
            System.loadLibrary(LIBRARY_NAME);
            return;
        } catch (UnsatisfiedLinkError e) {
            byName = e;
        }
        String platform = platform(System.getProperty("os.name", ""), System.getProperty("os.arch", ""));
        String fileName = System.mapLibraryName(LIBRARY_NAME);
        String resource = NATIVES + "/" + platform + "/" + fileName;
        byte[] bytes = readResource(resource);
        if (bytes == null) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError("no " + LIBRARY_NAME + " library for " + platform
                    + " (os.name \"" + System.getProperty("os.name") + "\", os.arch \"" + System.getProperty("os.arch")
                    + "\"): not at " + LIBRARY_PROPERTY + ", not in java.library.path, and the jar holds only "
                    + packaged());
            error.addSuppressed(byName);
            throw error;
        }
        Path extracted;
        try {
            extracted = extract(cacheDirectory(), bytes, fileName);
        } catch (IOException e) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(
                    "cannot copy " + resource + " out of the jar into the cache: " + e);
            error.initCause(e);
            throw error;
        }
        System.load(extracted.toString());
    }

    /** The jar's name for a platform: "linux-x86_64", "windows-x86_64", or what the names give otherwise. */
    static String platform(String osName, String osArch) {
        String name = osName.toLowerCase(Locale.ROOT);
        String os = name.startsWith("windows") ? "windows"
                : name.startsWith("linux") ? "linux"
                : name.startsWith("mac") ? "macos"
                : name.replaceAll("[^a-z0-9]", "");
        String arch = osArch.toLowerCase(Locale.ROOT);
        if (arch.equals("amd64") || arch.equals("x86_64") || arch.equals("x64")) {
            arch = "x86_64";
        }
        return os + "-" + arch;
    }

    /**
     * Puts {@code bytes} into {@code cache}/SHA-256/{@code fileName} unless an
     * intact copy is there, and answers the path of the copy.
     */
    static Path extract(Path cache, byte[] bytes, String fileName) throws IOException {
        String hash = sha256(bytes);
        Path directory = cache.resolve(hash);
        createPrivateDirectories(directory);
        Path target = directory.resolve(fileName);
        if (intact(target, hash)) {
            return target;
        }
        Path temporary = Files.createTempFile(directory, fileName + ".", ".part");
        try {
            try (OutputStream out = Files.newOutputStream(temporary)) {
                out.write(bytes);
            }
            try {
                Files.move(temporary, target, StandardCopyOption.ATOMIC_MOVE, StandardCopyOption.REPLACE_EXISTING);
            } catch (IOException e) {
                // Windows cannot replace a library another JVM has loaded;
                // an intact copy there is as good as ours.
                if (!intact(target, hash)) {
                    throw e;
                }
            }
        } finally {
            Files.deleteIfExists(temporary);
        }
        if (!intact(target, hash)) {
            throw new IOException(target + " does not hold the library the jar holds");
        }
        return target;
    }

    /**
     * The per-user cache: %LOCALAPPDATA%\Tamberlyx\natives on Windows,
     * $XDG_CACHE_HOME/tamberlyx/natives or ~/.cache/tamberlyx/natives elsewhere.
     */
    static Path cacheDirectory() {
        String osName = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        if (osName.startsWith("windows")) {
            String local = System.getenv("LOCALAPPDATA");
            Path base = local != null && !local.isEmpty() ? Path.of(local)
                    : Path.of(System.getProperty("user.home"), "AppData", "Local");
            return base.resolve("Tamberlyx").resolve(NATIVES);
        }
        String xdg = System.getenv("XDG_CACHE_HOME");
        Path base = xdg != null && xdg.startsWith("/") ? Path.of(xdg)
                : Path.of(System.getProperty("user.home"), ".cache");
        return base.resolve("tamberlyx").resolve(NATIVES);
    }

    private static boolean intact(Path target, String hash) throws IOException {
        return Files.isRegularFile(target) && hash.equals(sha256(Files.readAllBytes(target)));
    }

    private static void createPrivateDirectories(Path directory) throws IOException {
        if (Files.isDirectory(directory)) {
            return;
        }
        Files.createDirectories(directory.getParent());
        try {
            if (directory.getFileSystem().supportedFileAttributeViews().contains("posix")) {
                Files.createDirectory(directory,
                        PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
            } else {
                Files.createDirectory(directory);
            }
        } catch (FileAlreadyExistsException anotherJvmWasFirst) {
            // Made at the same moment by another JVM: as good as ours.
        }
    }

    private static byte[] readResource(String resource) {
        try (InputStream in = NativeLibraryLoader.class.getClassLoader().getResourceAsStream(resource)) {
            return in == null ? null : in.readAllBytes();
        } catch (IOException e) {
            return null;
        }
    }

    private static String packaged() {
        List<String> present = new ArrayList<>();
        for (String entry : PACKAGED) {
            if (NativeLibraryLoader.class.getClassLoader().getResource(NATIVES + "/" + entry) != null) {
                present.add(NATIVES + "/" + entry);
            }
        }
        return present.isEmpty() ? "no native library" : String.join(", ", present);
    }

    static String sha256(byte[] bytes) {
        try {
            StringBuilder hex = new StringBuilder();
            for (byte b : MessageDigest.getInstance("SHA-256").digest(bytes)) {
                hex.append(String.format("%02x", b & 0xFF));
            }
            return hex.toString();
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("every Java platform has SHA-256", e);
        }
    }
}
