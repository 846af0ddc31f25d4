package com.vantorel.kestra.comm;

import java.io.IOException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;

/**
 * Directories only this user can change, for the native library the jar
 * extracts. The library runs a companion program from its own directory, so
 * whoever can write there runs programs with this user's rights: a directory
 * another user made, one others may write to, or a symbolic link to somewhere
 * else is never used.
 *
 * <p>On POSIX systems a directory qualifies when it is not a symbolic link,
 * belongs to this process's user and is writable by nobody else, and every
 * directory above it belongs to this user or to root and lets nobody else
 * replace what is in it (not writable by group or others, unless sticky, as
 * /tmp is). On Windows the directory must not be a link and must belong to
 * the owner of the files this process creates; its access list is inherited
 * from the user's profile.
 */
final class PrivateDirectory {
    private static final int WRITABLE_BY_GROUP_OR_OTHERS = 0022;
    private static final int STICKY = 01000;
    private static final int ROOT = 0;

    private PrivateDirectory() {}

    /** Why a directory cannot be used: the message names the directory and the reason. */
    static final class Refused extends IOException {
        private static final long serialVersionUID = 1L;

        Refused(Path directory, String reason) {
            super(directory + " is not used: " + reason);
        }
    }

    /**
     * Makes {@code directory} and the missing directories between it and
     * {@code base} (mode 0700), or checks the ones that exist, after checking
     * {@code base} and every directory above it. {@code base} must exist and
     * may be a link (a cache folder on another disk, say): it is checked where
     * the link leads. {@code directory} must lie below {@code base}.
     */
    static Path ensure(Path base, Path directory) throws IOException {
        Path top = base.toAbsolutePath().normalize();
        Path target = directory.toAbsolutePath().normalize();
        if (!target.startsWith(top) || target.equals(top)) {
            throw new IllegalArgumentException(target + " is not below " + top);
        }
        Owner me = Owner.ofThisProcess();
        checkBaseAndAbove(top.toRealPath(), me);
        Path current = top;
        for (Path name : top.relativize(target)) {
            current = current.resolve(name);
            makeOrCheck(current, me);
        }
        return target;
    }

    /** This user, as a name for per-user directories: the user id on POSIX systems, else the owner's name. */
    static String userTag() throws IOException {
        Owner me = Owner.ofThisProcess();
        return me.posix ? Integer.toString(me.uid) : me.principal.getName().replaceAll("[^A-Za-z0-9._-]", "_");
    }

    /** Checks a file in a private directory: a regular file of this user that nobody else may write. */
    static void checkFile(Path file) throws IOException {
        Owner me = Owner.ofThisProcess();
        BasicFileAttributes attributes = Files.readAttributes(file, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
        if (!attributes.isRegularFile()) {
            throw new Refused(file, "not a regular file");
        }
        me.checkOwnsPrivately(file);
    }

    private static void makeOrCheck(Path directory, Owner me) throws IOException {
        if (!Files.exists(directory, LinkOption.NOFOLLOW_LINKS)) {
            try {
                if (me.posix) {
                    Files.createDirectory(directory,
                            PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
                } else {
                    Files.createDirectory(directory);
                }
            } catch (FileAlreadyExistsException madeMeanwhile) {
                // Made at the same moment, by another JVM of ours or by someone else: checked below.
            }
        }
        BasicFileAttributes attributes = Files.readAttributes(directory, BasicFileAttributes.class,
                LinkOption.NOFOLLOW_LINKS);
        if (attributes.isSymbolicLink() || attributes.isOther()) {
            throw new Refused(directory, "it is a link");
        }
        if (!attributes.isDirectory()) {
            throw new Refused(directory, "it is not a directory");
        }
        me.checkOwnsPrivately(directory);
    }

    /** The base and every directory above it: root's or ours, and nobody else may rename what is in them. */
    private static void checkBaseAndAbove(Path realTop, Owner me) throws IOException {
        if (!me.posix) {
            return;
        }
        for (Path above = realTop; above != null; above = above.getParent()) {
            int uid = (Integer) Files.getAttribute(above, "unix:uid", LinkOption.NOFOLLOW_LINKS);
            int mode = (Integer) Files.getAttribute(above, "unix:mode", LinkOption.NOFOLLOW_LINKS);
            if (uid != me.uid && uid != ROOT) {
                throw new Refused(realTop, above + " belongs to uid " + uid + ", not to this user ("
                        + me.uid + ") or root");
            }
            if ((mode & WRITABLE_BY_GROUP_OR_OTHERS) != 0 && (mode & STICKY) == 0) {
                throw new Refused(realTop, String.format("others may change what is in %s (mode %03o, not sticky)", above,
                        mode & 0777));
            }
        }
    }

    /** This process's user, as the owner of a file it creates. */
    private static final class Owner {
        final boolean posix;
        final int uid;
        final UserPrincipal principal;

        private Owner(boolean posix, int uid, UserPrincipal principal) {
            this.posix = posix;
            this.uid = uid;
            this.principal = principal;
        }

        static Owner ofThisProcess() throws IOException {
            boolean posix = FileSystems.getDefault().supportedFileAttributeViews().contains("unix");
            // On Linux, /proc/self belongs to the process's effective user.
            Path self = Path.of("/proc/self");
            if (posix && Files.isDirectory(self)) {
                return new Owner(true, (Integer) Files.getAttribute(self, "unix:uid"), null);
            }
            Path probe = Files.createTempFile("tamberlyx-owner", ".probe");
            try {
                if (posix) {
                    return new Owner(true, (Integer) Files.getAttribute(probe, "unix:uid"), null);
                }
                return new Owner(false, -1, Files.getOwner(probe));
            } finally {
                Files.deleteIfExists(probe);
            }
        }

        void checkOwnsPrivately(Path path) throws IOException {
            if (!posix) {
                UserPrincipal owner = Files.getOwner(path, LinkOption.NOFOLLOW_LINKS);
                if (!owner.equals(principal)) {
                    throw new Refused(path, "it belongs to " + owner.getName() + ", not to " + principal.getName());
                }
                return;
            }
            int owner = (Integer) Files.getAttribute(path, "unix:uid", LinkOption.NOFOLLOW_LINKS);
            int mode = (Integer) Files.getAttribute(path, "unix:mode", LinkOption.NOFOLLOW_LINKS);
            if (owner != uid) {
                throw new Refused(path, "it belongs to uid " + owner + ", not to this user (" + uid + ")");
            }
            if ((mode & WRITABLE_BY_GROUP_OR_OTHERS) != 0) {
                throw new Refused(path, String.format("others may write to it (mode %03o)", mode & 0777));
            }
        }
    }
}
