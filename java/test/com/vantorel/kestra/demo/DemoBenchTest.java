package com.vantorel.kestra.demo;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import org.junit.jupiter.api.Test;

/**
 * The demo's bench copy: its own host controller goes after the bench's
 * controllers, whatever comments, strings and nesting the bench holds, and
 * the copy is rewritten whole. It needs no native library.
 */
class DemoBenchTest {
    private static final String C = "{\"demo\": 1}";

    @Test
    void theControllerGoesAfterTheBenchsOwn() {
        // Brackets and quotes inside comments and strings, and a nested
        // "controllers" key, must not be taken for the array's end.
        String bench = "// a desk ] with [ brackets\n"
                + "{\n"
                + "  \"otherDevices\": [{\"description\": \"controllers\", \"controllers\": [1]}],\n"
                + "  \"controllers\": [\n"
                + "    {\"description\": \"odd ] \\\" [ text\"} /* ] */ // ]\n"
                + "  ],\n"
                + "  \"more\": {}\n"
                + "}\n";
        String expected = "// a desk ] with [ brackets\n"
                + "{\n"
                + "  \"otherDevices\": [{\"description\": \"controllers\", \"controllers\": [1]}],\n"
                + "  \"controllers\": [\n"
                + "    {\"description\": \"odd ] \\\" [ text\"} /* ] */ // ]\n"
                + "  ,\n" + C + "\n],\n"
                + "  \"more\": {}\n"
                + "}\n";
        assertEquals(expected, DemoBench.withController(bench, C));
    }

    @Test
    void anEmptyOrMissingArrayGetsTheControllerAlone() {
        assertEquals("{\"controllers\": [ /* none */ \n" + C + "\n]}",
                DemoBench.withController("{\"controllers\": [ /* none */ ]}", C));
        assertEquals("{\"otherDevices\": [],\n  \"controllers\": [\n" + C + "\n  ]\n}",
                DemoBench.withController("{\"otherDevices\": []}", C));
        assertEquals("{   \"controllers\": [\n" + C + "\n  ]\n}", DemoBench.withController("{ }", C));
    }

    @Test
    void whatIsNotABenchIsRefused() {
        assertThrows(IllegalArgumentException.class, () -> DemoBench.withController("[]", C));
        assertThrows(IllegalArgumentException.class, () -> DemoBench.withController("", C));
        assertThrows(IllegalArgumentException.class, () -> DemoBench.withController("{\"controllers\": {}}", C));
        assertThrows(IllegalArgumentException.class, () -> DemoBench.withController("{\"controllers\": [", C));
        assertThrows(IllegalArgumentException.class, () -> DemoBench.withController("{\"a\": 1 /* open", C));
        assertThrows(IllegalArgumentException.class, () -> DemoBench.withController("{\"a\": \"open}", C));
    }

    @Test
    void theCopyIsRewrittenWithAndWithoutTheProbe() throws Exception {
        Path work = Paths.get(System.getProperty("tamberlyx.work", System.getProperty("java.io.tmpdir")));
        Path copy = work.resolve("demo-bench-copy.json");
        DemoBench bench = new DemoBench("{\"controllers\": []}", copy);

        bench.write(true);
        String plugged = Files.readString(copy, StandardCharsets.UTF_8);
        assertTrue(plugged.contains(DemoBench.PROBE_SERIAL), plugged);
        assertTrue(plugged.contains(DemoBench.SENSOR_SERIAL), plugged);

        bench.write(false);
        String unplugged = Files.readString(copy, StandardCharsets.UTF_8);
        assertFalse(unplugged.contains(DemoBench.PROBE_SERIAL), unplugged);
        assertTrue(unplugged.contains(DemoBench.SENSOR_SERIAL), unplugged);
        // Only the copy is left: the file it was written through has been moved over it.
        try (var files = Files.list(work)) {
            assertEquals(0, files.filter(p -> p.getFileName().toString().endsWith(".next")).count());
        }
    }
}
