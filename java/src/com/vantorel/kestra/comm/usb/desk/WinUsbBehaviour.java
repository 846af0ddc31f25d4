package com.vantorel.kestra.comm.usb.desk;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** What a WinUSB device's pipes do, pipe by pipe, and whether it echoes vendor control requests. */
public final class WinUsbBehaviour extends BenchNode<WinUsbBehaviour> {
    /** What a pipe does with a transfer. */
    public enum Pipe {
        /** OUT: what is written comes back on the paired IN pipe. */
        LOOPBACK("loopback"),
        /** OUT: takes everything. */
        SINK("sink"),
        /** IN: reads give the bytes 0, 1, 2, ... */
        SOURCE("source"),
        /** Every transfer stalls (error 31). */
        STALL("stall"),
        /** Transfers complete after a delay. */
        SLOW("slow"),
        /** Nothing but the pipe's time-out or an abort ends a transfer. */
        SILENT("silent");

        private final String benchName;

        Pipe(String benchName) {
            this.benchName = benchName;
        }
    }

    private final List<Object> pipes = new ArrayList<>();

    public WinUsbBehaviour() {
        set("pipes", pipes);
    }

    @Override
    WinUsbBehaviour self() {
        return this;
    }

    /** Pipe {@code pipe} (0x01 OUT, 0x81 IN, ...) behaves as {@code behaviour}. */
    public WinUsbBehaviour pipe(int pipe, Pipe behaviour) {
        return addPipe(pipe, behaviour, null, null);
    }

    /** OUT pipe {@code out} loops back to IN pipe {@code in}. */
    public WinUsbBehaviour loopback(int out, int in) {
        return addPipe(out, Pipe.LOOPBACK, in, null);
    }

    /** Pipe {@code pipe} completes its transfers after {@code delayMillis}. */
    public WinUsbBehaviour slow(int pipe, int delayMillis) {
        return addPipe(pipe, Pipe.SLOW, null, delayMillis);
    }

    public WinUsbBehaviour vendorControlEcho(boolean echo) {
        return set("vendorControlEcho", echo);
    }

    private WinUsbBehaviour addPipe(int pipe, Pipe behaviour, Integer to, Integer delayMillis) {
        if (pipe < 0 || pipe > 0xFF) {
            throw new IllegalArgumentException("pipe out of range: " + pipe);
        }
        Map<String, Object> entry = new LinkedHashMap<>();
        entry.put("pipe", String.format("0x%02X", pipe));
        entry.put("behaviour", behaviour.benchName);
        if (to != null) {
            entry.put("to", String.format("0x%02X", to));
        }
        if (delayMillis != null) {
            entry.put("delayMs", delayMillis);
        }
        pipes.add(entry);
        return this;
    }
}
