package com.vantorel.kestra.comm.usb;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Optional;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** The description record parser; it needs no native library. */
class DeviceDescriptionTest {
    private static final String EXAMPLE = "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end";

    private static String record(String manufacturer, String product, String serial) {
        return "0:=003F:=BEEF:=0200:=" + manufacturer + ":=" + product + ":=" + serial + ":=o:=h:=end";
    }

    @Test
    void readsEveryFieldOfAPlainRecord() {
        DeviceDescription device = DeviceDescription.parse(EXAMPLE);
        assertTrue(device.isPresent());
        assertEquals(0x1234, device.vendorId());
        assertEquals(0xABCD, device.productId());
        assertEquals(0x0100, device.releaseBcd());
        assertEquals(Optional.of("Acme"), device.manufacturer());
        assertEquals(Optional.of("Widget"), device.product());
        assertEquals(Optional.empty(), device.serialNumber());
        assertTrue(device.hasSupportedDriver());
        assertFalse(device.isHid());
        assertFalse(device.isAmbiguous());
        assertEquals(EXAMPLE, device.record());

        DeviceDescription other = DeviceDescription.parse(record("M", "P", "S"));
        assertFalse(other.isPresent());
        assertEquals(0x003F, other.vendorId());
        assertFalse(other.hasSupportedDriver());
        assertTrue(other.isHid());
    }

    @Test
    void acceptsHexDigitsOfEitherCase() {
        DeviceDescription device = DeviceDescription.parse("1:=abcd:=00ff:=0a0B:=M:=P:=S:=x:=b:=end");
        assertEquals(0xABCD, device.vendorId());
        assertEquals(0x00FF, device.productId());
        assertEquals(0x0A0B, device.releaseBcd());
    }

    @Test
    void keepsTextsAsTheyAreExceptTheAbsentMark() {
        DeviceDescription absent = DeviceDescription.parse(record("?", "?", "?"));
        assertEquals(Optional.empty(), absent.manufacturer());
        assertEquals(Optional.empty(), absent.product());
        assertEquals(Optional.empty(), absent.serialNumber());

        DeviceDescription empty = DeviceDescription.parse(record("", "", ""));
        assertEquals(Optional.of(""), empty.manufacturer());
        assertEquals(Optional.of(""), empty.product());
        assertEquals(Optional.of(""), empty.serialNumber());
        assertFalse(empty.isAmbiguous());

        DeviceDescription odd = DeviceDescription.parse(record("Caf\uFFFD GmbH", " ? ", "\u00E9:\u4E2D="));
        assertEquals(Optional.of("Caf\uFFFD GmbH"), odd.manufacturer());
        assertEquals(Optional.of(" ? "), odd.product());
        assertEquals(Optional.of("\u00E9:\u4E2D="), odd.serialNumber());
    }

    @Test
    void colonsAndEqualsSignsNextToSeparatorsAreNotAmbiguous() {
        // "A:" then "=B": the separator is the second colon and the sign after it.
        DeviceDescription device = DeviceDescription.parse(record("A:", "=B", "::"));
        assertEquals(Optional.of("A:"), device.manufacturer());
        assertEquals(Optional.of("=B"), device.product());
        assertEquals(Optional.of("::"), device.serialNumber());
        assertFalse(device.isAmbiguous());
    }

    @Test
    void extraSeparatorsInTheTextsGoToTheProductAndAreFlagged() {
        DeviceDescription one = DeviceDescription.parse(record("Acme", "Widget:=Pro", "S1"));
        assertEquals(Optional.of("Acme"), one.manufacturer());
        assertEquals(Optional.of("Widget:=Pro"), one.product());
        assertEquals(Optional.of("S1"), one.serialNumber());
        assertTrue(one.isAmbiguous());

        // Whatever text held the separators, the fixed fields at both ends stay right.
        DeviceDescription elsewhere = DeviceDescription.parse(record("A:=B", ":=", "x:=b:=end"));
        assertEquals(Optional.of("A"), elsewhere.manufacturer());
        assertEquals(Optional.of("B:=:=:=x:=b"), elsewhere.product());
        assertEquals(Optional.of("end"), elsewhere.serialNumber());
        assertEquals(0x003F, elsewhere.vendorId());
        assertFalse(elsewhere.hasSupportedDriver());
        assertTrue(elsewhere.isHid());
        assertTrue(elsewhere.isAmbiguous());
    }

    @Test
    void rejectsEveryTruncationOfARecord() {
        for (int length = 0; length < EXAMPLE.length(); length++) {
            String truncated = EXAMPLE.substring(0, length);
            assertThrows(MalformedRecordException.class, () -> DeviceDescription.parse(truncated), truncated);
        }
    }

    @ParameterizedTest
    @ValueSource(strings = {
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b",           // no ":=end"
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end:=",     // a field after the end
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end:=end",
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=q:=end",    // an extra mark
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=END",
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end ",
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=X:=b:=end",       // marks are lower-case letters
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=H:=end",
        "1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=:=b:=end",
        "2:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end",       // presence is 0 or 1
        "-1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end",
        " 1:=1234:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end",
        "1:=12345:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end",      // ids are four hex digits
        "1:=123:=ABCD:=0100:=Acme:=Widget:=?:=x:=b:=end",
        "1:=1234:=AB G:=0100:=Acme:=Widget:=?:=x:=b:=end",
        "1:=1234:=+BCD:=0100:=Acme:=Widget:=?:=x:=b:=end",
        "1:=1234:=ABCD:=\u0661\u0662\u0663\u0664:=Acme:=Widget:=?:=x:=b:=end",
        "1:=1234:=ABCD:=0100:=Acme:=?:=x:=b:=end",               // a text missing
    })
    void rejectsMalformedRecords(String record) {
        MalformedRecordException error =
                assertThrows(MalformedRecordException.class, () -> DeviceDescription.parse(record));
        assertEquals(record, error.record());
    }

    @Test
    void theEmptyAnswerIsNoRecord() {
        assertEquals(Optional.empty(), DeviceDescription.parseAnswer(""));
        assertEquals(Optional.empty(), DeviceDescription.parseAnswer(null));
        assertEquals(Optional.of(DeviceDescription.parse(EXAMPLE)), DeviceDescription.parseAnswer(EXAMPLE));
        assertThrows(MalformedRecordException.class, () -> DeviceDescription.parse(""));
        assertThrows(MalformedRecordException.class, () -> DeviceDescription.parseAnswer("1:=end"));
    }

    @Test
    void recordsAreEqualWhenTheirTextIs() {
        assertEquals(DeviceDescription.parse(EXAMPLE), DeviceDescription.parse(new String(EXAMPLE)));
        assertEquals(DeviceDescription.parse(EXAMPLE).hashCode(), DeviceDescription.parse(EXAMPLE).hashCode());
        assertFalse(DeviceDescription.parse(EXAMPLE).equals(DeviceDescription.parse(EXAMPLE.replace("1:=", "0:="))));
    }
}
