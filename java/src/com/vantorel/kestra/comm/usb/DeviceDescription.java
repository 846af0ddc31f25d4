package com.vantorel.kestra.comm.usb;

import java.util.ArrayList;
import java.util.List;
import java.util.Objects;
import java.util.Optional;

/**
 * One device description record of the native library, parsed. A record is
 * one line of nine fields separated by ":=" and closed by ":=end":
 *
 * <pre>1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end</pre>
 *
 * presence ("1" or "0"), vendor id, product id and release number (four hex
 * digits each), manufacturer, product and serial-number texts, driver mark
 * ("x" when the device has a WinUSB or HID driver, "o" otherwise) and interface
 * mark ("h" for a HID device, "b" for a bulk/WinUSB device).
 *
 * <p><b>Absent texts.</b> The library writes "?" for a text the device does not
 * supply (and for an empty serial number). The text accessors answer an empty
 * {@code Optional} for "?"; a device whose string is literally "?" reads as
 * absent too, since the record cannot tell the two apart.
 *
 * <p><b>Ambiguous records.</b> The texts are inserted without escaping, so a
 * text that itself contains ":=" adds separators. The four leading fields and
 * the three trailing ones have a fixed form, so they are taken from the two
 * ends of the record; the three texts lie between. When there are more
 * separators there than the two that belong, the split is ambiguous and this
 * rule decides: the manufacturer ends at the first separator, the serial
 * number starts after the last one, and the product text keeps everything in
 * between, separators included. {@link #isAmbiguous()} says when the rule was
 * needed; the raw record stays available through {@link #record()}.
 *
 * <p>Instances are immutable.
 */
public final class DeviceDescription {
    private static final String SEPARATOR = ":=";
    private static final String ABSENT = "?";
    private static final int MINIMUM_SEPARATORS = 9;

    private final String record;
    private final boolean present;
    private final int vendorId;
    private final int productId;
    private final int releaseBcd;
    private final String manufacturer;
    private final String product;
    private final String serialNumber;
    private final boolean supportedDriver;
    private final boolean hid;
    private final boolean ambiguous;

    private DeviceDescription(String record, boolean present, int vendorId, int productId, int releaseBcd,
                              String manufacturer, String product, String serialNumber,
                              boolean supportedDriver, boolean hid, boolean ambiguous) {
        this.record = record;
        this.present = present;
        this.vendorId = vendorId;
        this.productId = productId;
        this.releaseBcd = releaseBcd;
        this.manufacturer = manufacturer;
        this.product = product;
        this.serialNumber = serialNumber;
        this.supportedDriver = supportedDriver;
        this.hid = hid;
        this.ambiguous = ambiguous;
    }

    /**
     * Reads what {@code usbGetDeviceInfo} or {@code usbGetChangeInfo} answered:
     * empty for the empty string (no entry, or no change to report) and for
     * null, otherwise the parsed record.
     *
     * @throws MalformedRecordException when a non-empty answer is not a record
     */
    public static Optional<DeviceDescription> parseAnswer(String answer) {
        if (answer == null || answer.isEmpty()) {
            return Optional.empty();
        }
        return Optional.of(parse(answer));
    }

    /**
     * Parses one record.
     *
     * @throws MalformedRecordException when {@code record} is not a record; the
     *         empty string is not one
     */
    public static DeviceDescription parse(String record) {
        Objects.requireNonNull(record, "record");
        List<Integer> separators = separatorPositions(record);
        int count = separators.size();
        if (count < MINIMUM_SEPARATORS) {
            throw new MalformedRecordException(
                    "a record has at least " + MINIMUM_SEPARATORS + " \":=\" separators, this one has " + count,
                    record);
        }
        Fields fields = new Fields(record, separators);
        if (!fields.token(count).equals("end")) {
            throw new MalformedRecordException("the record does not end with \":=end\"", record);
        }
        boolean present = presence(fields.token(0), record);
        int vendorId = hex16(fields.token(1), "vendor id", record);
        int productId = hex16(fields.token(2), "product id", record);
        int releaseBcd = hex16(fields.token(3), "release number", record);
        boolean supportedDriver = mark(fields.token(count - 2), "x", "o", "driver mark", record);
        boolean hid = mark(fields.token(count - 1), "h", "b", "interface mark", record);
        // The texts: tokens 4 to count - 3. The manufacturer is the first of
        // them, the serial number the last, the product all in between.
        String manufacturer = fields.token(4);
        String serialNumber = fields.token(count - 3);
        String product = fields.span(5, count - 4);
        return new DeviceDescription(record, present, vendorId, productId, releaseBcd, manufacturer, product,
                serialNumber, supportedDriver, hid, count > MINIMUM_SEPARATORS);
    }

    /** The record as the library wrote it. */
    public String record() {
        return record;
    }

    /** Whether the latest walk of the list found the device. In a change record: true = it came, false = it went. */
    public boolean isPresent() {
        return present;
    }

    /** The vendor id, 0 to 0xFFFF. */
    public int vendorId() {
        return vendorId;
    }

    /** The product id, 0 to 0xFFFF. */
    public int productId() {
        return productId;
    }

    /** The device release number in binary-coded decimal (0x0100 is release 1.00). */
    public int releaseBcd() {
        return releaseBcd;
    }

    /** The manufacturer text; empty when the record holds "?". */
    public Optional<String> manufacturer() {
        return text(manufacturer);
    }

    /** The product text; empty when the record holds "?". */
    public Optional<String> product() {
        return text(product);
    }

    /** The serial number; empty when the record holds "?" (none, or an empty one). */
    public Optional<String> serialNumber() {
        return text(serialNumber);
    }

    /** Whether the device is driven by WinUSB or a HID driver, so that it can be opened ("x"). */
    public boolean hasSupportedDriver() {
        return supportedDriver;
    }

    /** Whether the device is driven as a HID device ("h"); false for a bulk/WinUSB device ("b"). */
    public boolean isHid() {
        return hid;
    }

    /** Whether the texts held extra ":=" separators, so that their split followed the rule in the class notes. */
    public boolean isAmbiguous() {
        return ambiguous;
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof DeviceDescription && ((DeviceDescription) other).record.equals(record);
    }

    @Override
    public int hashCode() {
        return record.hashCode();
    }

    @Override
    public String toString() {
        return String.format("%s %04X:%04X release %04X, %s / %s / %s, %s, %s%s",
                present ? "present" : "absent", vendorId, productId, releaseBcd, manufacturer, product, serialNumber,
                supportedDriver ? "supported driver" : "other driver", hid ? "HID" : "bulk",
                ambiguous ? " (ambiguous record)" : "");
    }

    private static Optional<String> text(String value) {
        return ABSENT.equals(value) ? Optional.empty() : Optional.of(value);
    }

    private static List<Integer> separatorPositions(String record) {
        // ":=" cannot overlap itself, so a left-to-right scan finds every
        // occurrence exactly once.
        List<Integer> positions = new ArrayList<>();
        for (int at = record.indexOf(SEPARATOR); at >= 0; at = record.indexOf(SEPARATOR, at + SEPARATOR.length())) {
            positions.add(at);
        }
        return positions;
    }

    private static boolean presence(String token, String record) {
        if (token.equals("1")) {
            return true;
        }
        if (token.equals("0")) {
            return false;
        }
        throw new MalformedRecordException("presence must be \"0\" or \"1\", not \"" + token + "\"", record);
    }

    private static int hex16(String token, String field, String record) {
        if (token.length() != 4) {
            throw new MalformedRecordException(field + " must be four hex digits, not \"" + token + "\"", record);
        }
        int value = 0;
        for (int i = 0; i < token.length(); i++) {
            int digit = hexDigit(token.charAt(i));
            if (digit < 0) {
                throw new MalformedRecordException(field + " must be four hex digits, not \"" + token + "\"", record);
            }
            value = value * 16 + digit;
        }
        return value;
    }

    private static int hexDigit(char c) {
        // Only ASCII digits: Character.digit would accept other scripts' digits.
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    }

    private static boolean mark(String token, String yes, String no, String field, String record) {
        if (token.equals(yes)) {
            return true;
        }
        if (token.equals(no)) {
            return false;
        }
        throw new MalformedRecordException(
                field + " must be \"" + yes + "\" or \"" + no + "\", not \"" + token + "\"", record);
    }

    /** The tokens of a record between its separators. */
    private static final class Fields {
        private final String record;
        private final List<Integer> separators;

        Fields(String record, List<Integer> separators) {
            this.record = record;
            this.separators = separators;
        }

        /** Token {@code i}: 0 before the first separator, separators.size() after the last. */
        String token(int i) {
            return span(i, i);
        }

        /** Tokens {@code first} to {@code last} with the separators between them. */
        String span(int first, int last) {
            int begin = first == 0 ? 0 : separators.get(first - 1) + SEPARATOR.length();
            int end = last == separators.size() ? record.length() : separators.get(last);
            return record.substring(begin, end);
        }
    }
}
