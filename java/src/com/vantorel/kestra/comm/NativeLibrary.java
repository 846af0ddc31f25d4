package com.vantorel.kestra.comm;

import java.nio.file.Path;
import java.util.Optional;

/** What was loaded for the peer class {@link KESTRACommUSBAccess}, for diagnostics. */
public final class NativeLibrary {
    private NativeLibrary() {}

    /**
     * The native library file loaded for the peer class; empty before the peer
     * class is first used, or when the system loaded it by name from a place it
     * does not tell.
     */
    public static Optional<Path> loadedFrom() {
        return Optional.ofNullable(NativeLibraryLoader.loadedFrom());
    }

    /**
     * {@code error}, a native method the JVM found missing, with the loaded
     * file named: the usual cause is another build of the library than the
     * class expects. An error from before anything was loaded (the load
     * itself failed) is answered as it is.
     */
    public static UnsatisfiedLinkError explain(UnsatisfiedLinkError error) {
        Optional<Path> file = loadedFrom();
        if (file.isEmpty()) {
            return error;
        }
        UnsatisfiedLinkError explained = new UnsatisfiedLinkError(error.getMessage() + " (native library loaded from "
                + file.get() + ")");
        explained.initCause(error);
        return explained;
    }
}
