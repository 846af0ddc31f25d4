package com.vantorel.kestra.comm.usb;

import java.io.IOException;
import java.util.Optional;

/**
 * A native method answered a negative status code. The exception carries the
 * method's name, the code as the library returned it and, when the library
 * defines that code, its meaning.
 */
public class UsbException extends IOException {
    private static final long serialVersionUID = 1L;

    private final String method;
    private final int code;
    private final UsbResult result;

    /** An exception for {@code code}, returned by the native method {@code method}. */
    public UsbException(String method, int code) {
        this(method, code, meaningFor(method, code));
    }

    private UsbException(String method, int code, UsbResult result) {
        super(message(method, code, result));
        this.method = method;
        this.code = code;
        this.result = result;
    }

    /**
     * Returns {@code result} when it is 0 or more, and throws a {@code UsbException}
     * carrying it when it is negative. {@code method} names the native method
     * that returned it (for example "usbOpenDevice"); it decides which meaning
     * of -103 applies.
     */
    public static int check(String method, int result) throws UsbException {
        if (result < 0) {
            throw new UsbException(method, result);
        }
        return result;
    }

    /** The name of the native method that failed. */
    public String method() {
        return method;
    }

    /** The negative status code the native method returned. */
    public int code() {
        return code;
    }

    /** The meaning of {@link #code()}; empty for a code the library does not define. */
    public Optional<UsbResult> result() {
        return Optional.ofNullable(result);
    }

    private static UsbResult meaningFor(String method, int code) {
        Optional<UsbResult> meaning =
                "usbOpenDevice".equals(method) ? UsbResult.ofOpenDevice(code) : UsbResult.of(code);
        return meaning.orElse(null);
    }

    private static String message(String method, int code, UsbResult result) {
        String meaning = result == null ? "an unknown status code" : result.name() + ": " + result.description();
        return method + " failed with " + code + " (" + meaning + ")";
    }
}
