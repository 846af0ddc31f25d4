package com.vantorel.kestra.comm.usb;

/**
 * A text handed to {@link DeviceDescription#parse(String)} does not have the
 * form of a device description record. The library only produces well-formed
 * records, so this points at a record that was damaged or not made by it.
 */
public class MalformedRecordException extends IllegalArgumentException {
    private static final long serialVersionUID = 1L;

    private final String record;

    public MalformedRecordException(String message, String record) {
        super(message + ": \"" + record + "\"");
        this.record = record;
    }

    /** The text that was rejected. */
    public String record() {
        return record;
    }
}
