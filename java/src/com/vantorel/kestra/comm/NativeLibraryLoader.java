package com.vantorel.kestra.comm;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.lang.System.Logger.Level;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Loads the native library for the peer class: from the path in the system
 * property {@code tamberlyx.library} (a relative path is taken from the
 * working directory), else by name from {@code java.library.path}, else from
 * the jar the class came from.
 *
 * <p>A library in the jar lies at {@code natives/OS-ARCH/NAME}. It is copied
 * into a private directory of this user, named by the SHA-256 of its bytes,
 * under its own file name (so the configuration file and the companion
 * program the library looks for beside itself keep their names). The copy is
 * written to a temporary file there and moved into place in one step, so JVMs
 * starting at the same time never load a half-written file; whatever lies
 * there is hashed again before it is loaded. The directory is, in order of
 * preference: the one the system property {@code tamberlyx.tmpdir} names;
 * else {@code %LOCALAPPDATA%\Tamberlyx\natives} on Windows;
 * {@code $XDG_CACHE_HOME/tamberlyx/natives} or {@code ~/.cache/tamberlyx/natives}
 * elsewhere, falling back to {@code tamberlyx-UID/natives} under
 * {@code java.io.tmpdir} when the home cannot be used, and to a fresh
 * directory there when even that is not private. See {@link PrivateDirectory}
 * for what makes a directory usable: the library runs its companion program
 * from the directory it was loaded from.
 */
final class NativeLibraryLoader {
    static final String LIBRARY_PROPERTY = "tamberlyx.library";
    static final String DIRECTORY_PROPERTY = "tamberlyx.tmpdir";
    static final String LIBRARY_NAME = "Tamberlyx";
    static final String NATIVES = "natives";
    /** What the jar holds, for the message when nothing fits; the build keeps it in step with the jar. */
    static final String[] PACKAGED = {"windows-x86_64/Tamberlyx.dll", "linux-x86_64/libTamberlyx.so"};

    private static final System.Logger LOG = System.getLogger(NativeLibraryLoader.class.getPackageName());

    /** The file loaded, for messages about it; null before the load, or when the system found it by name unseen. */
    private static volatile Path loaded;

    private NativeLibraryLoader() {}

    static Path loadedFrom() {
        return loaded;
    }

    static void load() {
        String path = System.getProperty(LIBRARY_PROPERTY);
        if (path != null && !path.isEmpty()) {
            Path library = Path.of(path).toAbsolutePath();
            System.load(library.toString());
            loaded = library;
            return;
        }
        String platform = platform(System.getProperty("os.name", ""), System.getProperty("os.arch", ""));
        String fileName = System.mapLibraryName(LIBRARY_NAME);
        String resource = NATIVES + "/" + platform + "/" + fileName;
        UnsatisfiedLinkError byName;
        try {
            System.loadLibrary(LIBRARY_NAME);
            loaded = onLibraryPath(fileName);
            warnWhenNotOurs(loaded, resource);
            return;
        } catch (UnsatisfiedLinkError e) {
            byName = e;
        }
        byte[] bytes = readResource(resource);
        if (bytes == null) {
            UnsatisfiedLinkError error = new UnsatisfiedLinkError("no " + LIBRARY_NAME + " library for " + platform
                    + " (os.name \"" + System.getProperty("os.name") + "\", os.arch \"" + System.getProperty("os.arch")
                    + "\"): not at " + LIBRARY_PROPERTY + ", not in java.library.path, and the jar holds only "
                    + packaged());
            error.addSuppressed(byName);
            throw error;
        }
        Path extracted = extractSomewherePrivate(bytes, fileName, resource);
        System.load(extracted.toString());
        loaded = extracted;
    }

    /**
     * Copies the library into the first usable place ({@link #places()}),
     * saying why each unusable one was passed over.
     */
    private static Path extractSomewherePrivate(byte[] bytes, String fileName, String resource) {
        List<String> refusals = new ArrayList<>();
        boolean chosen = System.getProperty(DIRECTORY_PROPERTY, "").length() > 0;
        for (Place place : places()) {
            try {
                return extract(place, bytes, fileName);
            } catch (IOException | RuntimeException e) {
                String reason = place.directory + ": " + e.getMessage();
                refusals.add(reason);
                LOG.log(e instanceof PrivateDirectory.Refused ? Level.WARNING : Level.DEBUG,
                        "the native library is not put in " + reason);
            }
        }
        if (chosen && refusals.isEmpty()) {
            refusals.add(DIRECTORY_PROPERTY + " names no directory below another");
        }
        if (!chosen) {
            try {
                return extractIntoFreshDirectory(bytes, fileName);
            } catch (IOException | RuntimeException e) {
                refusals.add("a fresh directory under java.io.tmpdir: " + e.getMessage());
            }
        }
        throw new UnsatisfiedLinkError("cannot copy " + resource + " out of the jar into a private directory: "
                + String.join("; ", refusals));
    }

    /** A directory nobody else can have made: a fresh one, private from its creation, removed when the JVM ends. */
    private static Path extractIntoFreshDirectory(byte[] bytes, String fileName) throws IOException {
        Path fresh = Files.createTempDirectory("tamberlyx-");
        fresh.toFile().deleteOnExit();
        Path library = extract(new Place(fresh.getParent(), fresh), bytes, fileName);
        library.getParent().toFile().deleteOnExit();
        library.toFile().deleteOnExit();
        return library;
    }

    /** A directory for the library's copies, and the existing directory it is made below. */
    static final class Place {
        final Path base;
        final Path directory;

        Place(Path base, Path directory) {
            this.base = base;
            this.directory = directory;
        }
    }

    /** Where the copies may go, in order of preference (see the class notes). */
    static List<Place> places() {
        List<Place> places = new ArrayList<>();
        String chosen = System.getProperty(DIRECTORY_PROPERTY);
        if (chosen != null && !chosen.isEmpty()) {
            Path directory = Path.of(chosen).toAbsolutePath().normalize();
            if (directory.getParent() != null) {
                places.add(new Place(directory.getParent(), directory));
            }
            return places;
        }
        if (System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("windows")) {
            Path local = absolute(System.getenv("LOCALAPPDATA"));
            if (local != null) {
                places.add(new Place(local, local.resolve("Tamberlyx").resolve(NATIVES)));
            }
            return places;
        }
        Path xdg = absolute(System.getenv("XDG_CACHE_HOME"));
        Path home = absolute(System.getProperty("user.home"));
        if (xdg != null && Files.isDirectory(xdg)) {
            places.add(new Place(xdg, xdg.resolve("tamberlyx").resolve(NATIVES)));
        } else if (xdg != null && xdg.getParent() != null && Files.isDirectory(xdg.getParent())) {
            // A cache home that is named but not there yet is made, private.
            places.add(new Place(xdg.getParent(), xdg.resolve("tamberlyx").resolve(NATIVES)));
        } else if (home != null && Files.isDirectory(home.resolve(".cache"))) {
            Path cache = home.resolve(".cache");
            places.add(new Place(cache, cache.resolve("tamberlyx").resolve(NATIVES)));
        } else if (home != null && Files.isDirectory(home)) {
            places.add(new Place(home, home.resolve(".cache").resolve("tamberlyx").resolve(NATIVES)));
        }
        Path temporary = absolute(System.getProperty("java.io.tmpdir"));
        if (temporary != null) {
            try {
                places.add(new Place(temporary,
                        temporary.resolve("tamberlyx-" + PrivateDirectory.userTag()).resolve(NATIVES)));
            } catch (IOException e) {
                LOG.log(Level.DEBUG, "no per-user directory under java.io.tmpdir: " + e.getMessage());
            }
        }
        return places;
    }

    private static Path absolute(String path) {
        if (path == null || path.isEmpty()) {
            return null;
        }
        Path candidate = Path.of(path);
        return candidate.isAbsolute() ? candidate.normalize() : null;
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
     * Puts {@code bytes} into PLACE/SHA-256/{@code fileName} unless an intact
     * copy is there, and answers the path of the copy. Every directory on the
     * way is made private or checked to be ({@link PrivateDirectory}), so once
     * the copy is checked nobody but this user can change it before it is loaded.
     */
    static Path extract(Place place, byte[] bytes, String fileName) throws IOException {
        String hash = sha256(bytes);
        Path directory = PrivateDirectory.ensure(place.base, place.directory.resolve(hash));
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

    /** A private regular file holding exactly the bytes with this hash. */
    private static boolean intact(Path target, String hash) throws IOException {
        if (!Files.exists(target, java.nio.file.LinkOption.NOFOLLOW_LINKS)) {
            return false;
        }
        PrivateDirectory.checkFile(target);
        return hash.equals(sha256(Files.readAllBytes(target)));
    }

    /** The file the system loads by name: the first on java.library.path that exists. */
    private static Path onLibraryPath(String fileName) {
        for (String entry : System.getProperty("java.library.path", "").split(File.pathSeparator)) {
            if (entry.isEmpty()) {
                continue;
            }
            Path candidate = Path.of(entry, fileName).toAbsolutePath();
            if (Files.isRegularFile(candidate)) {
                return candidate;
            }
        }
        return null;
    }

    /** Says once, when a library on java.library.path is not the build the jar carries, which two they are. */
    private static void warnWhenNotOurs(Path library, String resource) {
        byte[] ours = readResource(resource);
        if (ours == null || library == null) {
            return;
        }
        try {
            if (!sha256(ours).equals(sha256(Files.readAllBytes(library)))) {
                LOG.log(Level.WARNING, "the " + LIBRARY_NAME + " library found on java.library.path, " + library
                        + ", is not the build this jar carries (" + resource + " in " + jarLocation()
                        + "); it is used all the same. Remove it from java.library.path to use the jar's own.");
            }
        } catch (IOException | SecurityException e) {
            LOG.log(Level.DEBUG, "cannot compare " + library + " with the jar's library: " + e);
        }
    }

    private static String jarLocation() {
        java.security.CodeSource source = NativeLibraryLoader.class.getProtectionDomain().getCodeSource();
        return source == null || source.getLocation() == null ? "the jar" : source.getLocation().toString();
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
