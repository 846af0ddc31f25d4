package com.vantorel.kestra.comm.usb;

/** Receives the events of a {@link DeviceWatcher}, one at a time, on the watcher's thread. */
@FunctionalInterface
public interface DeviceListener {
    void deviceChanged(DeviceEvent event);
}
