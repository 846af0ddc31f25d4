package com.vantorel.kestra.comm.usb.desk;

import java.util.Map;
import java.util.TreeMap;

/** A hub: a controller's root hub, or the hub inside a {@link Device#hub} device. Ports are numbered from 1. */
public final class Hub extends BenchNode<Hub> {
    private final Map<Integer, Device> ports = new TreeMap<>();

    public Hub() {}

    @Override
    Hub self() {
        return this;
    }

    /** How many ports the hub reports; by default the highest port given, at least 4. */
    public Hub portCount(int count) {
        return set("portCount", count);
    }

    /** Puts {@code device} on port {@code port}, replacing what was there. */
    public Hub port(int port, Device device) {
        if (port < 1 || port > 255) {
            throw new IllegalArgumentException("ports are numbered 1 to 255, not " + port);
        }
        ports.put(port, java.util.Objects.requireNonNull(device, "device"));
        return this;
    }

    /** Empties port {@code port}. */
    public Hub emptyPort(int port) {
        ports.remove(port);
        return this;
    }

    /** The device on port {@code port}, or null. */
    public Device device(int port) {
        return ports.get(port);
    }

    public Hub superSpeed(boolean superSpeed) {
        return set("superSpeed", superSpeed);
    }

    public Hub busPowered(boolean busPowered) {
        return set("busPowered", busPowered);
    }

    /** A fault of the hub: "openError" (an error code), "nodeInfoError", "reportedPortCount". */
    public Hub fault(String name, Object value) {
        return nested(value, "faults", name);
    }

    @Override
    void write(StringBuilder out, int depth) {
        Map<String, Object> portObjects = new TreeMap<>((a, b) -> Integer.compare(Integer.parseInt(a),
                Integer.parseInt(b)));
        for (Map.Entry<Integer, Device> port : ports.entrySet()) {
            portObjects.put(Integer.toString(port.getKey()), port.getValue());
        }
        set("ports", portObjects);
        super.write(out, depth);
    }
}
