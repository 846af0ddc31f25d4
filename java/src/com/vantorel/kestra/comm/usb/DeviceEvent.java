package com.vantorel.kestra.comm.usb;

import java.util.Objects;

/**
 * A device that arrived in a watched list or left it, as a {@link DeviceWatcher}
 * saw it: the device's index in the watcher's list, which names it for the
 * life of the list, and its parsed description at the time of the change.
 */
public final class DeviceEvent {
    /** What happened to the device. */
    public enum Kind {
        /** The device was plugged in: new in the list, or present again. */
        ARRIVED,
        /** The device was pulled out; it stays in the list, marked absent. */
        LEFT
    }

    private final Kind kind;
    private final int index;
    private final DeviceDescription description;

    DeviceEvent(Kind kind, int index, DeviceDescription description) {
        this.kind = Objects.requireNonNull(kind, "kind");
        this.index = index;
        this.description = Objects.requireNonNull(description, "description");
    }

    public Kind kind() {
        return kind;
    }

    /** The device's index in the list of {@link DeviceWatcher#list()}. */
    public int index() {
        return index;
    }

    /** The device's description; present for an arrival, absent for a departure. */
    public DeviceDescription description() {
        return description;
    }

    @Override
    public String toString() {
        return kind + " #" + index + ": " + description;
    }
}
