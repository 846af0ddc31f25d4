package com.vantorel.kestra.comm.usb;

import java.lang.ref.Cleaner;
import java.time.Duration;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Objects;

/**
 * An initialisation of the native library: {@code usbInitialize} when opened,
 * {@code usbRelease} with the access handle when closed. The library holds one
 * initialisation per process, so only one session can be open at a time; a
 * second {@link #open()} fails with {@link UsbResult#ALREADY_INITIALIZED}.
 *
 * <p>Device lists come from a session, and closing the session first closes
 * every list it handed out that is still open (and with them their open
 * devices).
 *
 * <p>Close a session when done with it. A session that becomes unreachable
 * without being closed is released by a cleaner, with a warning on the
 * {@code System.Logger} "com.vantorel.kestra.comm.usb", so that a later
 * {@link #open()} works; until the garbage collector finds it, the library
 * stays initialised.
 *
 * <pre>{@code
 * try (UsbSession session = UsbSession.open();
 *      DeviceList list = session.deviceListForAllVendors()) {
 *     for (DeviceDescription device : list.descriptions()) {
 *         System.out.println(device);
 *     }
 * }
 * }</pre>
 */
public final class UsbSession implements AutoCloseable {
    /** The vendor filter that selects the devices of every vendor. */
    public static final int ALL_VENDORS = 0xFFFF;

    private static final Cleaner CLEANER = Cleaner.create();

    private final NativeUsb usb;
    private final int handle;
    private final List<DeviceList> openLists = new ArrayList<>();
    private final List<DeviceWatcher> watchers = new ArrayList<>();
    private final Forgotten forgotten;
    private final Cleaner.Cleanable cleanable;
    private boolean closed;

    private UsbSession(NativeUsb usb, int handle) {
        this.usb = usb;
        this.handle = handle;
        this.forgotten = new Forgotten(usb, handle);
        this.cleanable = CLEANER.register(this, forgotten);
    }

    /**
     * What the cleaner releases of a session nobody closed: the library lists
     * still held and the initialisation. It refers to nothing that refers to
     * the session, or the session would never become unreachable.
     */
    private static final class Forgotten implements Runnable {
        private final NativeUsb usb;
        private final int handle;
        /** The ids of the library lists the session holds; guarded by {@link LibraryLock#CALLS}. */
        final List<Integer> listIds = new ArrayList<>();
        /** Set by {@link UsbSession#close()}: the cleaner then has nothing to do. */
        boolean released;

        Forgotten(NativeUsb usb, int handle) {
            this.usb = usb;
            this.handle = handle;
        }

        @Override
        public void run() {
            synchronized (LibraryLock.CALLS) {
                if (released) {
                    return;
                }
                released = true;
                System.getLogger(UsbSession.class.getPackageName()).log(System.Logger.Level.WARNING,
                        "a UsbSession (access handle " + handle + ") was not closed; releasing it and its "
                                + listIds.size() + " device list(s) now");
                synchronized (LibraryLock.OPEN_DEVICES) {
                    for (int id : new LinkedHashSet<>(listIds)) {
                        usb.usbReleaseDeviceList(id);
                    }
                    usb.usbRelease(handle);
                }
            }
        }
    }

    /** Initialises the native library. */
    public static UsbSession open() throws UsbException {
        return open(NativeUsb.library());
    }

    /** Initialises the library behind {@code usb}. */
    public static UsbSession open(NativeUsb usb) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            int handle = UsbException.check("usbInitialize", usb.usbInitialize());
            return new UsbSession(usb, handle);
        }
    }

    /** The access handle the library handed out. */
    public int handle() {
        return handle;
    }

    /**
     * The list of the devices of one vendor, 0 to 0xFFFF ({@link #ALL_VENDORS}
     * for every vendor). The library keeps one list per vendor filter: asking
     * again for a filter whose list exists gives a second {@code DeviceList} on
     * the same list, which is released when the last of them is closed.
     */
    public DeviceList deviceList(int vendorId) throws UsbException {
        if (vendorId < 0 || vendorId > 0xFFFF) {
            throw new IllegalArgumentException("vendor id out of range: " + vendorId);
        }
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            int listId = UsbException.check("usbCreateDeviceList", usb.usbCreateDeviceList(handle, vendorId));
            DeviceList list = new DeviceList(this, usb, listId, vendorId);
            openLists.add(list);
            forgotten.listIds.add(listId);
            return list;
        }
    }

    /** The list of the devices of every vendor. */
    public DeviceList deviceListForAllVendors() throws UsbException {
        return deviceList(ALL_VENDORS);
    }

    /**
     * Watches the devices of one vendor ({@link #ALL_VENDORS} for every
     * vendor), refreshing its list every {@link DeviceWatcher#DEFAULT_PERIOD}.
     * See {@link DeviceWatcher}.
     */
    public DeviceWatcher watch(int vendorId) throws UsbException {
        return watch(vendorId, DeviceWatcher.DEFAULT_PERIOD);
    }

    /**
     * Watches the devices of one vendor with {@code listeners} added before its
     * thread starts, so that they miss no event; see {@link #watch(int, Duration, DeviceListener...)}.
     */
    public DeviceWatcher watch(int vendorId, DeviceListener... listeners) throws UsbException {
        return watch(vendorId, DeviceWatcher.DEFAULT_PERIOD, listeners);
    }

    /**
     * Watches the devices of one vendor, refreshing its list every {@code period},
     * with {@code listeners} added before its thread starts. The watcher is
     * closed with the session.
     */
    public DeviceWatcher watch(int vendorId, Duration period, DeviceListener... listeners) throws UsbException {
        List<DeviceListener> initial = Arrays.asList(listeners.clone());
        for (DeviceListener listener : initial) {
            Objects.requireNonNull(listener, "listener");
        }
        if (period.isNegative() || period.isZero()) {
            throw new IllegalArgumentException("the period must be positive, not " + period);
        }
        synchronized (LibraryLock.CALLS) {
            DeviceList list = deviceList(vendorId);
            DeviceWatcher watcher = new DeviceWatcher(this, list, period, initial);
            watchers.add(watcher);
            watcher.start();
            return watcher;
        }
    }

    void forgetWatcher(DeviceWatcher watcher) {
        synchronized (LibraryLock.CALLS) {
            watchers.remove(watcher);
        }
    }

    /**
     * Closes the lists this session handed out and releases the initialisation.
     * Never fails: a handle the library no longer takes ({@link UsbResult#BAD_HANDLE})
     * means the initialisation has already ended. Closing twice does nothing.
     */
    @Override
    public void close() {
        List<DeviceWatcher> watchersToClose;
        synchronized (LibraryLock.CALLS) {
            if (closed) {
                return;
            }
            closed = true;
            watchersToClose = new ArrayList<>(watchers);
        }
        // Outside the lock: a watcher's close waits for its thread, which may
        // be waiting for the lock.
        for (DeviceWatcher watcher : watchersToClose) {
            watcher.close();
        }
        synchronized (LibraryLock.CALLS) {
            synchronized (LibraryLock.OPEN_DEVICES) {
                for (DeviceList list : new ArrayList<>(openLists)) {
                    list.close();
                }
                usb.usbRelease(handle);
                forgotten.released = true;
            }
        }
        cleanable.clean();
    }

    /** Forgets a closed list; answers whether another open list of this session still uses its id. */
    boolean forgetList(DeviceList list) {
        openLists.remove(list);
        forgotten.listIds.remove(Integer.valueOf(list.id()));
        for (DeviceList other : openLists) {
            if (other.id() == list.id()) {
                return true;
            }
        }
        return false;
    }

    private void ensureOpen() {
        if (closed) {
            throw new IllegalStateException("the session is closed");
        }
    }
}
