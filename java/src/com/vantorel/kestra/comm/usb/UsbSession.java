package com.vantorel.kestra.comm.usb;

import java.time.Duration;
import java.util.ArrayList;
import java.util.List;

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

    private final NativeUsb usb;
    private final int handle;
    private final List<DeviceList> openLists = new ArrayList<>();
    private final List<DeviceWatcher> watchers = new ArrayList<>();
    private boolean closed;

    private UsbSession(NativeUsb usb, int handle) {
        this.usb = usb;
        this.handle = handle;
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
     * Watches the devices of one vendor, refreshing its list every {@code period}.
     * The watcher is closed with the session.
     */
    public DeviceWatcher watch(int vendorId, Duration period) throws UsbException {
        if (period.isNegative() || period.isZero()) {
            throw new IllegalArgumentException("the period must be positive, not " + period);
        }
        synchronized (LibraryLock.CALLS) {
            DeviceList list = deviceList(vendorId);
            DeviceWatcher watcher = new DeviceWatcher(this, list, period);
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
            }
        }
    }

    /** Forgets a closed list; answers whether another open list of this session still uses its id. */
    boolean forgetList(DeviceList list) {
        openLists.remove(list);
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
