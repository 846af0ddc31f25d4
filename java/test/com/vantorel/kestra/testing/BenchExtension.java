package com.vantorel.kestra.testing;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import org.junit.jupiter.api.extension.AfterAllCallback;
import org.junit.jupiter.api.extension.BeforeAllCallback;
import org.junit.jupiter.api.extension.ExtensionContext;

/** Sets up what {@link OverBench} asks for. */
public final class BenchExtension implements BeforeAllCallback, AfterAllCallback {
    /** The directory of the tests' bench files. */
    public static final String BENCHES_PROPERTY = "tamberlyx.test.benches";

    private static int handle = -1;

    /** The handle the library gave when it was initialised for the class. */
    public static int handle() {
        return handle;
    }

    /** The bench file the library runs on: {@code bench.json} in the class's work directory. */
    public static Path benchFile() {
        String work = System.getProperty("tamberlyx.work");
        if (work == null) {
            throw new IllegalStateException("no work directory: the system property tamberlyx.work is not set");
        }
        return Path.of(work, "bench.json");
    }

    @Override
    public void beforeAll(ExtensionContext context) throws IOException {
        OverBench over = context.getRequiredTestClass().getAnnotation(OverBench.class);
        if (!over.value().isEmpty()) {
            String benches = System.getProperty(BENCHES_PROPERTY);
            if (benches == null) {
                throw new IllegalStateException("the system property " + BENCHES_PROPERTY + " is not set");
            }
            Files.copy(Path.of(benches, over.value()), benchFile(), StandardCopyOption.REPLACE_EXISTING);
        }
        if (!over.value().isEmpty() || over.writesOwnBench()) {
            // Read when the library is loaded, which has not happened yet:
            // the class's tests are the first to use it.
            System.setProperty("tamberlyx.bench", benchFile().toString());
        }
        if (over.initialized()) {
            handle = KESTRACommUSBAccess.usbInitialize();
            assertEquals(0, handle, "usbInitialize");
        }
    }

    @Override
    public void afterAll(ExtensionContext context) {
        if (context.getRequiredTestClass().getAnnotation(OverBench.class).initialized()) {
            assertEquals(0, KESTRACommUSBAccess.usbRelease(handle), "usbRelease");
            handle = -1;
        }
    }
}
