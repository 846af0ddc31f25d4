package com.vantorel.kestra.comm.usb;

import java.nio.charset.StandardCharsets;
import java.time.Duration;
import java.util.Arrays;
import java.util.Optional;

/**
 * A device opened through a {@link DeviceList}; closing it closes the device
 * ({@code usbCloseDevice}). A bulk/WinUSB device takes control and bulk
 * transfers, a HID device takes 64-byte reports; descriptors are answered from
 * what the listing stored, for both kinds.
 *
 * <p>Every buffer handed to the native library is sized here from the
 * arguments, so no call can make the library read or write past a Java array.
 *
 * <p>Calls wait for the layer's lock (see the package notes), except
 * {@link #abortTransfers(int)}, which may be called from another thread to
 * end a bulk transfer that blocks.
 */
public final class UsbDevice implements AutoCloseable {
    /** A time-out that never expires. */
    public static final int INFINITE = -1;
    /** The size of a HID report's data. */
    public static final int REPORT_SIZE = 64;
    /** The size of a device descriptor. */
    public static final int DEVICE_DESCRIPTOR_SIZE = 18;
    /** The bound {@link #stringDescriptor(StringKind)} uses: enough for any text the library stores. */
    public static final int DEFAULT_STRING_BOUND = 256;

    private static final int SETUP_PACKET_SIZE = 8;
    private static final int DIRECTION_IN = 0x80;
    private static final int DESCRIPTOR_DEVICE = 1;
    private static final int DESCRIPTOR_STRING = 3;
    private static final int UNUSED = 0;

    private final DeviceList list;
    private final NativeUsb usb;
    private final int index;
    private volatile boolean closed;

    UsbDevice(DeviceList list, NativeUsb usb, int index) {
        this.list = list;
        this.usb = usb;
        this.index = index;
    }

    /** The list the device was opened through. */
    public DeviceList list() {
        return list;
    }

    /** The device's index in its list. */
    public int index() {
        return index;
    }

    /** Resets the device's state in the library; nothing is sent to the device. */
    public void reset() throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            UsbException.check("usbResetDevice", usb.usbResetDevice(list.id(), index));
        }
    }

    /**
     * A control transfer from host to device: the setup packet built from the
     * four fields and the length of {@code data}, then {@code data} as its data
     * stage. {@code requestType} must have its direction bit (0x80) clear.
     *
     * @return the number of data-stage bytes the device took
     */
    public int controlWrite(int requestType, int request, int value, int wIndex, byte[] data) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            checkDirection(requestType, false);
            byte[] buffer = setupPacketAndDataStage(requestType, request, value, wIndex, data.length);
            System.arraycopy(data, 0, buffer, SETUP_PACKET_SIZE, data.length);
            int count = UsbException.check("usbWriteControlPipe",
                    usb.usbWriteControlPipe(list.id(), index, data.length, UNUSED, buffer));
            return Math.min(count, data.length);
        }
    }

    /**
     * A control transfer from device to host of at most {@code length} bytes.
     * {@code requestType} must have its direction bit (0x80) set.
     *
     * @return the bytes the device sent
     */
    public byte[] controlRead(int requestType, int request, int value, int wIndex, int length) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            checkDirection(requestType, true);
            byte[] buffer = setupPacketAndDataStage(requestType, request, value, wIndex, length);
            int count = UsbException.check("usbReadControlPipe",
                    usb.usbReadControlPipe(list.id(), index, length, UNUSED, buffer));
            return Arrays.copyOfRange(buffer, SETUP_PACKET_SIZE, SETUP_PACKET_SIZE + Math.min(count, length));
        }
    }

    /**
     * Writes {@code data} to the OUT endpoint {@code endpoint} (1 to 0x7F).
     *
     * @param timeoutMillis a positive time-out, or {@link #INFINITE}
     * @return the number of bytes the device took
     */
    public int bulkWrite(int endpoint, byte[] data, int timeoutMillis) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            if (endpoint < 1 || endpoint > 0x7F) {
                throw new IllegalArgumentException("not an OUT endpoint: " + endpoint);
            }
            int count = UsbException.check("usbWriteBulkPipe", usb.usbWriteBulkPipe(list.id(), index, endpoint,
                    data.length, bulkTimeout(timeoutMillis), data.clone()));
            return Math.min(count, data.length);
        }
    }

    /**
     * Reads at most {@code maxLength} bytes from the IN endpoint of number
     * {@code endpoint}; the number and the address (1 and 0x81) name the same
     * endpoint.
     *
     * @param timeoutMillis a positive time-out, or {@link #INFINITE}
     * @return the bytes the device sent
     */
    public byte[] bulkRead(int endpoint, int maxLength, int timeoutMillis) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            checkByte(endpoint, "endpoint");
            if (maxLength < 0) {
                throw new IllegalArgumentException("negative length: " + maxLength);
            }
            byte[] buffer = new byte[maxLength];
            int count = UsbException.check("usbReadBulkPipe",
                    usb.usbReadBulkPipe(list.id(), index, endpoint, maxLength, bulkTimeout(timeoutMillis), buffer));
            return Arrays.copyOf(buffer, Math.min(count, maxLength));
        }
    }

    /** {@link #bulkWrite(int, byte[], int)} with a time-out as a {@code Duration} (see {@link #millis(Duration)}). */
    public int bulkWrite(int endpoint, byte[] data, Duration timeout) throws UsbException {
        return bulkWrite(endpoint, data, millis(timeout));
    }

    /** {@link #bulkRead(int, int, int)} with a time-out as a {@code Duration} (see {@link #millis(Duration)}). */
    public byte[] bulkRead(int endpoint, int maxLength, Duration timeout) throws UsbException {
        return bulkRead(endpoint, maxLength, millis(timeout));
    }

    /**
     * Ends the transfers pending on the endpoint with address
     * {@code endpointAddress} (0x81 for IN endpoint 1, 0x01 for OUT endpoint 1).
     * May be called from another thread while a bulk transfer blocks; that
     * transfer then fails with {@link UsbResult#TRANSFER_FAILED}. Does nothing
     * on a HID device.
     */
    public void abortTransfers(int endpointAddress) throws UsbException {
        synchronized (LibraryLock.OPEN_DEVICES) {
            ensureOpen();
            checkByte(endpointAddress, "endpoint address");
            UsbException.check("usbCancelPipeTransfer",
                    usb.usbCancelPipeTransfer(list.id(), index, endpointAddress));
        }
    }

    /**
     * Sends one HID output report. A report shorter than {@link #REPORT_SIZE}
     * bytes is padded with zeros.
     *
     * @param timeoutMillis 0 or more, or {@link #INFINITE}
     * @return true when the report was sent, false when the time-out expired
     *         first (the write was then cancelled)
     */
    public boolean writeReport(byte[] report, int timeoutMillis) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            if (report.length > REPORT_SIZE) {
                throw new IllegalArgumentException("a report holds at most " + REPORT_SIZE + " bytes, not " + report.length);
            }
            int result = usb.usbWriteInterruptPipe(list.id(), index, UNUSED, REPORT_SIZE, reportTimeout(timeoutMillis),
                    Arrays.copyOf(report, REPORT_SIZE));
            if (result == UsbResult.TIMED_OUT.code()) {
                return false;
            }
            UsbException.check("usbWriteInterruptPipe", result);
            return true;
        }
    }

    /**
     * Receives one HID input report.
     *
     * @param timeoutMillis 0 or more, or {@link #INFINITE}
     * @return the report's data (at most {@link #REPORT_SIZE} bytes, without
     *         the report id), or empty when no report came within the time-out
     */
    public Optional<byte[]> readReport(int timeoutMillis) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            byte[] report = new byte[REPORT_SIZE];
            int result = usb.usbReadInterruptPipe(list.id(), index, UNUSED, REPORT_SIZE, reportTimeout(timeoutMillis),
                    report);
            if (result == UsbResult.TIMED_OUT.code()) {
                return Optional.empty();
            }
            // The count includes the report id byte, which is not part of the data.
            int count = UsbException.check("usbReadInterruptPipe", result);
            return Optional.of(Arrays.copyOf(report, Math.min(Math.max(count - 1, 0), REPORT_SIZE)));
        }
    }

    /** {@link #writeReport(byte[], int)} with a time-out as a {@code Duration} (see {@link #millis(Duration)}). */
    public boolean writeReport(byte[] report, Duration timeout) throws UsbException {
        return writeReport(report, millis(timeout));
    }

    /** {@link #readReport(int)} with a time-out as a {@code Duration} (see {@link #millis(Duration)}). */
    public Optional<byte[]> readReport(Duration timeout) throws UsbException {
        return readReport(millis(timeout));
    }

    /**
     * A time-out in whole milliseconds, as the library takes it: a part of a
     * millisecond counts as one (so a positive time-out never becomes 0), and
     * more than {@code Integer.MAX_VALUE} ms (about 24 days) is cut to that.
     * To wait without end, pass {@link #INFINITE} to the {@code int} forms.
     *
     * @throws IllegalArgumentException for a negative time-out
     */
    static int millis(Duration timeout) {
        if (timeout.isNegative()) {
            throw new IllegalArgumentException("a time-out cannot be negative: " + timeout);
        }
        if (timeout.compareTo(Duration.ofMillis(Integer.MAX_VALUE)) >= 0) {
            return Integer.MAX_VALUE;
        }
        return (int) timeout.plusNanos(999_999).toMillis();
    }

    /** The device's 18-byte device descriptor, as the listing read it. */
    public byte[] deviceDescriptor() throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            byte[] descriptor = new byte[DEVICE_DESCRIPTOR_SIZE];
            UsbException.check("usbGetDeviceDescriptor", usb.usbGetDeviceDescriptor(list.id(), index,
                    DESCRIPTOR_DEVICE, UNUSED, DEVICE_DESCRIPTOR_SIZE, descriptor));
            return descriptor;
        }
    }

    /** One of the device's texts, bounded by {@link #DEFAULT_STRING_BOUND}; see {@link #stringDescriptor(StringKind, int)}. */
    public Optional<String> stringDescriptor(StringKind kind) throws UsbException {
        return stringDescriptor(kind, DEFAULT_STRING_BOUND);
    }

    /**
     * One of the device's texts as the listing stored it, cut to at most
     * {@code bound} - 1 characters. The library keeps one byte per character
     * (Latin-1), so the text is read as ISO-8859-1.
     *
     * @param bound the room for the text and its terminating zero, 1 or more
     * @return the text; empty when the device supplied none ("?")
     */
    public Optional<String> stringDescriptor(StringKind kind, int bound) throws UsbException {
        synchronized (LibraryLock.CALLS) {
            ensureOpen();
            if (bound < 1) {
                throw new IllegalArgumentException("the bound must be at least 1, not " + bound);
            }
            byte[] text = new byte[bound];
            UsbException.check("usbGetDeviceDescriptor", usb.usbGetDeviceDescriptor(list.id(), index,
                    DESCRIPTOR_STRING, kind.selector(), bound, text));
            int length = 0;
            while (length < text.length && text[length] != 0) {
                length++;
            }
            String value = new String(text, 0, length, StandardCharsets.ISO_8859_1);
            return value.equals("?") ? Optional.empty() : Optional.of(value);
        }
    }

    /**
     * Closes the device. Never fails: a device the library no longer holds open
     * is closed already. Closing twice does nothing.
     */
    @Override
    public void close() {
        synchronized (LibraryLock.CALLS) {
            synchronized (LibraryLock.OPEN_DEVICES) {
                if (closed) {
                    return;
                }
                closed = true;
                list.forgetDevice(this);
                usb.usbCloseDevice(list.id(), index);
            }
        }
    }

    /**
     * The buffer of a control transfer: the 8-byte setup packet (request type,
     * request, then value, index and length as 16-bit little-endian numbers)
     * followed by room for a data stage of {@code length} bytes.
     */
    static byte[] setupPacketAndDataStage(int requestType, int request, int value, int wIndex, int length) {
        checkByte(requestType, "request type");
        checkByte(request, "request");
        checkWord(value, "value");
        checkWord(wIndex, "index");
        checkWord(length, "length");
        byte[] buffer = new byte[SETUP_PACKET_SIZE + length];
        buffer[0] = (byte) requestType;
        buffer[1] = (byte) request;
        buffer[2] = (byte) value;
        buffer[3] = (byte) (value >>> 8);
        buffer[4] = (byte) wIndex;
        buffer[5] = (byte) (wIndex >>> 8);
        buffer[6] = (byte) length;
        buffer[7] = (byte) (length >>> 8);
        return buffer;
    }

    /** WinUSB reads a pipe time-out of 0 as "no time-out", so there is no polling bulk transfer. */
    private static int bulkTimeout(int timeoutMillis) {
        if (timeoutMillis == INFINITE) {
            return 0;
        }
        if (timeoutMillis <= 0) {
            throw new IllegalArgumentException("a bulk time-out is positive or INFINITE, not " + timeoutMillis);
        }
        return timeoutMillis;
    }

    private static int reportTimeout(int timeoutMillis) {
        if (timeoutMillis < INFINITE) {
            throw new IllegalArgumentException("a report time-out is 0 or more or INFINITE, not " + timeoutMillis);
        }
        return timeoutMillis;
    }

    private static void checkDirection(int requestType, boolean in) {
        if (((requestType & DIRECTION_IN) != 0) != in) {
            throw new IllegalArgumentException(String.format("request type 0x%02X is not a%s request", requestType,
                    in ? " device-to-host" : " host-to-device"));
        }
    }

    private static void checkByte(int value, String what) {
        if (value < 0 || value > 0xFF) {
            throw new IllegalArgumentException(what + " out of range: " + value);
        }
    }

    private static void checkWord(int value, String what) {
        if (value < 0 || value > 0xFFFF) {
            throw new IllegalArgumentException(what + " out of range: " + value);
        }
    }

    private void ensureOpen() {
        if (closed) {
            throw new IllegalStateException("device " + index + " of list " + list.id() + " is closed");
        }
    }
}
