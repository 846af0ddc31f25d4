package com.vantorel.kestra.comm.usb;

/** The texts a device's string descriptor request can answer. */
public enum StringKind {
    MANUFACTURER(1),
    PRODUCT(2),
    SERIAL_NUMBER(3);

    private final int selector;

    StringKind(int selector) {
        this.selector = selector;
    }

    /** The value the native method takes as its string kind. */
    public int selector() {
        return selector;
    }
}
