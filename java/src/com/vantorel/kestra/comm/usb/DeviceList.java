package com.vantorel.kestra.comm.usb;

import java.util.ArrayList;
import java.util.List;
import java.util.Optional;
import java.util.OptionalInt;

/**
 * One numbered device list of the native library. A device is named by its
 * index in the list, and an index names the same device for the life of the
 * list: {@link #refresh()} only appends devices that are new and marks those
 * that have gone absent. Closing the list closes the devices opened through it
 * and releases the list ({@code usbReleaseDeviceList}).
 */
public final class DeviceList implements AutoCloseable {
    private static final int UNUSED = 0;

    private final UsbSession session;
    private final NativeUsb usb;
    private final int id;
    private final int vendorFilter;
    private final List<UsbDevice> openDevices = new ArrayList<>();
    private boolean closed;

    DeviceList(UsbSession session, NativeUsb usb, int id, int vendorFilter) {
        this.session = session;
        this.usb = usb;
        this.id = id;
        this.vendorFilter = vendorFilter;
    }

    /** The list id the library handed out. */
    public int id() {
        return id;
    }

    /** The vendor id the list holds devices of; {@link UsbSession#ALL_VENDORS} for every vendor. */
    public int vendorFilter() {
        return vendorFilter;
    }

    /** The number of devices in the list, absent ones included. */
    public int size() {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            return Math.max(0, usb.usbGetDeviceListCount(id));
        }
    }

    /** The description of the device at {@code index}; empty when the list has no device there. */
    public Optional<DeviceDescription> description(int index) {
        String answer;
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            answer = usb.usbGetDeviceInfo(id, index);
        }
        return DeviceDescription.parseAnswer(answer);
    }

    /** The descriptions of every device in the list, in index order (so a description's position is its index). */
    public List<DeviceDescription> descriptions() {
        synchronized (LibraryLock.CALLS) {
            return descriptionsLocked();
        }
    }

    private List<DeviceDescription> descriptionsLocked() {
        int size = size();
        List<DeviceDescription> descriptions = new ArrayList<>(size);
        for (int index = 0; index < size; index++) {
            Optional<DeviceDescription> description = description(index);
            if (description.isEmpty()) {
                break;
            }
            descriptions.add(description.get());
        }
        return descriptions;
    }

    /**
     * The index of the first present device with these ids, as the list stands
     * (refresh it first to see devices plugged in since); empty when there is none.
     */
    public OptionalInt find(int vendorId, int productId) {
        return find(vendorId, productId, null);
    }

    /**
     * The index of the first present device with these ids and this serial
     * number ({@code null} for any), as the list stands; empty when there is none.
     */
    public OptionalInt find(int vendorId, int productId, String serialNumber) {
        List<DeviceDescription> devices = descriptions();
        for (int index = 0; index < devices.size(); index++) {
            DeviceDescription device = devices.get(index);
            if (device.isPresent() && device.vendorId() == vendorId && device.productId() == productId
                    && (serialNumber == null || device.serialNumber().equals(Optional.of(serialNumber)))) {
                return OptionalInt.of(index);
            }
        }
        return OptionalInt.empty();
    }

    /** Walks the USB tree again and merges what it finds into the list. */
    public void refresh() throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            UsbException.check("usbUpdateDeviceList", usb.usbUpdateDeviceList(id, UNUSED));
        }
    }

    /**
     * Takes the changes of presence that the last refreshes left unreported:
     * one record per device that went ({@link DeviceDescription#isPresent()} false)
     * or came back (true). Each change is reported once. A change record does
     * not carry the device's index; devices that a refresh appends are not
     * changes (they show in {@link #size()}).
     */
    public List<DeviceDescription> takeChanges() {
        synchronized (LibraryLock.CALLS) {
            return takeChangesLocked();
        }
    }

    private List<DeviceDescription> takeChangesLocked() {
        ensureOpen();
        // Every device changes at most once between reports, so more records
        // than devices would mean a library that never stops answering.
        int limit = size();
        List<DeviceDescription> changes = new ArrayList<>();
        while (changes.size() < limit) {
            Optional<DeviceDescription> change = DeviceDescription.parseAnswer(usb.usbGetChangeInfo(id, UNUSED));
            if (change.isEmpty()) {
                break;
            }
            changes.add(change.get());
        }
        return changes;
    }

    /**
     * Opens the device at {@code index} for transfers.
     *
     * @throws UsbException with {@link UsbResult#NO_SUCH_DEVICE} when the list has no
     *         device there, {@link UsbResult#OPEN_FAILED} when it cannot be opened
     *         (held by another program, or gone), {@link UsbResult#ALREADY_OPEN},
     *         or {@link UsbResult#WIN_USB_INIT_FAILED}
     */
    public UsbDevice open(int index) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            synchronized (LibraryLock.OPEN_DEVICES) {
                UsbException.check("usbOpenDevice", usb.usbOpenDevice(id, index));
                UsbDevice device = new UsbDevice(this, usb, index);
                openDevices.add(device);
                return device;
            }
        }
    }

    /**
     * Closes the devices opened through this list and releases the list, unless
     * another open {@code DeviceList} of the session holds the same list. Never
     * fails: a list the library no longer knows is released already. Closing
     * twice does nothing.
     */
    @Override
    public void close() {
        synchronized (LibraryLock.CALLS) {
            if (closed) {
                return;
            }
            synchronized (LibraryLock.OPEN_DEVICES) {
                for (UsbDevice device : new ArrayList<>(openDevices)) {
                    device.close();
                }
                closed = true;
                if (!session.forgetList(this)) {
                    usb.usbReleaseDeviceList(id);
                }
            }
        }
    }

    void forgetDevice(UsbDevice device) {
        openDevices.remove(device);
    }

    private void ensureOpen() {
        if (closed) {
            throw new IllegalStateException("device list " + id + " is closed");
        }
    }
}
