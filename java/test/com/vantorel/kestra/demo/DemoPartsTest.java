package com.vantorel.kestra.demo;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vantorel.kestra.comm.usb.DeviceDescription;
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The demo's command line, its watch of the companion log and its device table; no native library needed. */
class DemoPartsTest {
    private static Path work() {
        return Paths.get(System.getProperty("tamberlyx.work", System.getProperty("java.io.tmpdir")));
    }

    @Test
    void theCommandLine() {
        DemoOptions options = DemoOptions.parse(new String[] {"--vendor", "0x1a2B", "--trace", "--bench", "b.json"});
        assertEquals(0x1A2B, options.vendorFilter);
        assertTrue(options.trace);
        assertEquals(Paths.get("b.json"), options.bench);
        assertEquals(DemoOptions.ALL_VENDORS, DemoOptions.parse(new String[0]).vendorFilter);
        assertEquals(0xFFFF, DemoOptions.parseVendor("ffff"));

        // Each is one clear refusal, never a number quietly taken apart.
        for (String vendor : new String[] {"", "0x", "12345", "-1", "+12", "1A2G", "٣"}) {
            DemoExit refusal = assertThrows(DemoExit.class, () -> DemoOptions.parseVendor(vendor), vendor);
            assertEquals(DemoExit.USAGE, refusal.status);
        }
        assertEquals(DemoExit.USAGE, assertThrows(DemoExit.class,
                () -> DemoOptions.parse(new String[] {"--bench"})).status);
        assertEquals(DemoExit.USAGE, assertThrows(DemoExit.class,
                () -> DemoOptions.parse(new String[] {"1A2B"})).status);
    }

    @Test
    void companionRunsAreShownOnceEachAndWaitedFor() throws Exception {
        Path file = work().resolve("companion-test.log");
        Files.deleteIfExists(file);
        CompanionLog log = new CompanionLog(file);

        long start = System.nanoTime();
        assertEquals(List.of(), log.awaitRuns(100), "no log file yet");
        assertTrue((System.nanoTime() - start) / 1_000_000 >= 100, "gave up before its time");

        // A run that comes while the demo waits, and one right behind it.
        Thread companion = new Thread(() -> {
            try {
                Thread.sleep(150);
                append(file, "remove\n");
                Thread.sleep(50);
                append(file, "add\n");
            } catch (Exception e) {
                throw new AssertionError(e);
            }
        });
        companion.start();
        assertEquals(List.of("remove", "add"), log.awaitRuns(3000));
        companion.join();

        append(file, "remove\n");
        assertEquals(List.of("remove"), log.awaitRuns(3000), "only what came since the last look");
        assertEquals(List.of(), log.awaitRuns(50));
    }

    @Test
    void theDeviceTable() {
        Listing listing = Listing.forRecords(7, List.of(
                "1:=1A2B:=0001:=0100:=Vantorel Labs:=An exceedingly long product name indeed:=?:=x:=b:=end",
                "not a record",
                "0:=003F:=BEEF:=1100:=?:=Quiet:=KQ-1:=o:=h:=end"));
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        DeviceTable.print(new Report(new PrintStream(bytes, true, StandardCharsets.UTF_8)), listing,
                (DeviceDescription d) -> d.serialNumber().orElse("").equals("KQ-1"));
        List<String> lines = List.of(bytes.toString(StandardCharsets.UTF_8).split("\n"));

        assertEquals("   #  present  VID:PID    release  manufacturer   product                   serial  driver  kind",
                lines.get(0));
        assertEquals("   0  yes      1A2B:0001  1.00     Vantorel Labs  An exceedingly long p...  -       yes     bulk",
                lines.get(1));
        // An unreadable record is shown as it came, without widening the columns.
        assertEquals("   1  ?        unreadable record: not a record", lines.get(2));
        assertEquals("  2*  no       003F:BEEF  11.00    -              Quiet                     KQ-1    no      HID",
                lines.get(3));
        assertTrue(lines.stream().anyMatch(l -> l.contains("*:      the demo's own devices")));
        assertFalse(lines.stream().anyMatch(l -> l.length() > 100), "a line ran wide");
    }

    private static void append(Path file, String text) throws Exception {
        Files.write(file, text.getBytes(StandardCharsets.UTF_8), StandardOpenOption.CREATE, StandardOpenOption.APPEND);
    }
}
