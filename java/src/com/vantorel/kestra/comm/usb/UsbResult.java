package com.vantorel.kestra.comm.usb;

import java.util.Collections;
import java.util.EnumSet;
import java.util.Optional;
import java.util.Set;

/**
 * The status codes of the native library. Every native method answers a signed
 * 32-bit value: 0 or more on success (a byte count, a list id or a count where
 * the method produces one), and one of the negative codes below on failure.
 *
 * <p>The value -103 carries two meanings, and both are constants here:
 * {@link #OPEN_FAILED} when {@code usbOpenDevice} returns it, {@link #LIST_NOT_FOUND}
 * when {@code usbUpdateDeviceList} or {@code usbReleaseDeviceList} does. A bare
 * number cannot tell them apart, so {@link #of(int)} reads a code as every method
 * but {@code usbOpenDevice} means it, {@link #ofOpenDevice(int)} as
 * {@code usbOpenDevice} means it, and {@link #meaningsOf(int)} gives all meanings
 * a code can have.
 */
public enum UsbResult {
    SUCCESS(0, "the operation succeeded"),
    TIMED_OUT(-7, "a HID report was not transferred within its time-out and the request was cancelled"),
    WIN_USB_NOT_LOADED(-101, "the WinUSB library was not loaded, so there was nothing to unload"),
    LIST_NOT_FOUND(-103, "no device list has the given id"),
    OPEN_FAILED(-103, "the device could not be opened (no usable path, or the system refused to open it)"),
    NO_LISTS(-104, "no device list exists at all"),
    ALREADY_OPEN(-105, "the device is already open"),
    WIN_USB_INIT_FAILED(-107, "the device was opened but WinUSB refused to initialise it"),
    NOT_OPEN(-109, "the device is not open"),
    TRANSFER_FAILED(-112, "the transfer failed"),
    READ_FAILED(-113, "the read failed"),
    NO_SUCH_DEVICE(-114, "no open device is known under the given list id and index,"
            + " or the descriptor type or string kind is unknown"),
    ALREADY_INITIALIZED(-115, "the library is already initialised"),
    BAD_HANDLE(-116, "the handle is not the current access handle"),
    ABORT_FAILED(-117, "WinUSB refused to abort the pipe's transfers"),
    DESCRIPTOR_NOT_SUPPORTED(-120, "endpoint descriptors are not supported"),
    THREAD_START_FAILED(-140, "the device-change monitor thread could not be started"),
    NO_API_TABLE(-200, "the initialisation was given no WinUSB table to fill");

    private final int code;
    private final String description;

    UsbResult(int code, String description) {
        this.code = code;
        this.description = description;
    }

    /** The value the native library returns. */
    public int code() {
        return code;
    }

    /** What the code means, in a few words. */
    public String description() {
        return description;
    }

    /**
     * The meaning of {@code code} as returned by any native method except
     * {@code usbOpenDevice}: -103 reads as {@link #LIST_NOT_FOUND}. Empty for a
     * positive value (a count or an id) and for a code the library does not define.
     */
    public static Optional<UsbResult> of(int code) {
        return code == OPEN_FAILED.code ? Optional.of(LIST_NOT_FOUND) : single(code);
    }

    /** The meaning of {@code code} as returned by {@code usbOpenDevice}: -103 reads as {@link #OPEN_FAILED}. */
    public static Optional<UsbResult> ofOpenDevice(int code) {
        return code == OPEN_FAILED.code ? Optional.of(OPEN_FAILED) : single(code);
    }

    /** Every meaning {@code code} can have: none, one, or two for -103. */
    public static Set<UsbResult> meaningsOf(int code) {
        EnumSet<UsbResult> meanings = EnumSet.noneOf(UsbResult.class);
        for (UsbResult result : values()) {
            if (result.code == code) {
                meanings.add(result);
            }
        }
        return Collections.unmodifiableSet(meanings);
    }

    private static Optional<UsbResult> single(int code) {
        for (UsbResult result : values()) {
            if (result.code == code) {
                return Optional.of(result);
            }
        }
        return Optional.empty();
    }
}
