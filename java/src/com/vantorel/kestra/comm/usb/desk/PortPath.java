package com.vantorel.kestra.comm.usb.desk;

import java.util.Arrays;

/**
 * Where a device sits: the controller's index in the desk, then the port
 * numbers from its root hub down through hubs. {@code PortPath.of(0, 2, 1)}
 * is port 1 of the hub on port 2 of the first controller's root hub.
 */
public final class PortPath {
    private final int controller;
    private final int[] ports;

    private PortPath(int controller, int[] ports) {
        this.controller = controller;
        this.ports = ports;
    }

    public static PortPath of(int controller, int... ports) {
        if (controller < 0) {
            throw new IllegalArgumentException("negative controller index: " + controller);
        }
        if (ports.length == 0) {
            throw new IllegalArgumentException("a port path names at least one port");
        }
        for (int port : ports) {
            if (port < 1 || port > 255) {
                throw new IllegalArgumentException("ports are numbered 1 to 255, not " + port);
            }
        }
        return new PortPath(controller, ports.clone());
    }

    public int controller() {
        return controller;
    }

    public int[] ports() {
        return ports.clone();
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof PortPath && ((PortPath) other).controller == controller
                && Arrays.equals(((PortPath) other).ports, ports);
    }

    @Override
    public int hashCode() {
        return 31 * controller + Arrays.hashCode(ports);
    }

    @Override
    public String toString() {
        StringBuilder text = new StringBuilder().append(controller);
        for (int port : ports) {
            text.append('/').append(port);
        }
        return text.toString();
    }
}
