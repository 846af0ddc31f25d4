package com.vantorel.kestra.comm.usb;

/**
 * The locks of the typed layer. The native library keeps all its state in
 * unguarded process-wide variables, so every call into it, and the
 * bookkeeping of this layer around the call, runs under {@link #CALLS}.
 *
 * <p>{@code abortTransfers} must get through while a bulk transfer blocks and
 * holds {@link #CALLS}, so it takes only {@link #OPEN_DEVICES}. The library
 * looks the device up in its table of open devices for the abort, so
 * everything that changes that table (opening and closing devices, closing
 * lists and sessions) takes {@link #OPEN_DEVICES} as well, always after
 * {@link #CALLS}.
 */
final class LibraryLock {
    static final Object CALLS = new Object();
    static final Object OPEN_DEVICES = new Object();

    private LibraryLock() {}
}
