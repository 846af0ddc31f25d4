package com.vantorel.kestra.comm;

import static com.vantorel.kestra.testing.BenchExtension.handle;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.testing.OverBench;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * The records of the devices the walk finds on the bench WalkRecordsTest.json,
 * in walk order: depth-first through the external hub, a device without a
 * driver service left out.
 */
@OverBench(value = "WalkRecordsTest.json", initialized = true)
class WalkRecordsTest {
    private static final List<String> ALL_DEVICES = List.of(
            "1:=003F:=BEEF:=0100:=Acme:=Widget:=A-1:=x:=b:=end",
            "1:=1A2B:=0002:=0200:=Vantorel Labs:=Kestra HID Echo:=KH-42:=x:=h:=end",
            "1:=3E4F:=0107:=0310:=Nordlicht Messtechnik:=Datenschreiber:=NL-7731:=x:=b:=end",
            "1:=5C6D:=2001:=1100:=Keystone Media:=Pocket Drive:=KM1:=o:=b:=end",
            "1:=7A8B:=0001:=0001:=?:=?:=?:=x:=b:=end",
            // The product's U+00E9 is kept as the single byte 0xE9, which is
            // not UTF-8 and reaches the caller as U+FFFD; the empty serial
            // number reads "?".
            "1:=6E7F:=0310:=0102:=Atelier Mesure:=Balance de pr\uFFFDcision:=?:=x:=b:=end");


    private static List<String> records(int list) {
        List<String> records = new ArrayList<>();
        int count = KESTRACommUSBAccess.usbGetDeviceListCount(list);
        for (int i = 0; i < count; i++) {
            records.add(KESTRACommUSBAccess.usbGetDeviceInfo(list, i));
        }
        return records;
    }

    @Test
    void everyDeviceWithADriverServiceIsDescribedInWalkOrder() {
        int all = KESTRACommUSBAccess.usbCreateDeviceList(handle(), 0xFFFF);
        assertTrue(all >= 0);
        assertEquals(ALL_DEVICES, records(all));
        assertEquals("", KESTRACommUSBAccess.usbGetDeviceInfo(all, ALL_DEVICES.size()));
        for (int i = 0; i < ALL_DEVICES.size(); i++) {
            assertEquals("", KESTRACommUSBAccess.usbGetChangeInfo(all, i));
        }

        // A refresh over the same machine finds every device again and adds nothing.
        assertEquals(0, KESTRACommUSBAccess.usbUpdateDeviceList(all, 0));
        assertEquals(ALL_DEVICES, records(all));
        assertEquals(0, KESTRACommUSBAccess.usbReleaseDeviceList(all));
    }
}
