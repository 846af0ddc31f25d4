package com.vantorel.kestra.testing;

import java.lang.annotation.ElementType;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;
import org.junit.jupiter.api.extension.ExtendWith;

/**
 * The simulated machine a test class runs over, and whether the library is
 * initialised for it. Each test class runs in a JVM of its own, whose work
 * directory the system property {@code tamberlyx.work} names. A class with
 * a bench file, or one that writes its own, runs over {@code bench.json}
 * there: the library is pointed at it before it is loaded, and a test may
 * rewrite it to plug and unplug devices. Other classes run over the
 * built-in bench.
 */
@Retention(RetentionPolicy.RUNTIME)
@Target(ElementType.TYPE)
@ExtendWith(BenchExtension.class)
public @interface OverBench {
    /** The bench file, in the tests' benches directory, that the class starts from. */
    String value() default "";

    /** Whether the class writes its own bench, through the simulated desk. */
    boolean writesOwnBench() default false;

    /**
     * Whether the library is initialised before the first test of the class
     * and released after the last, both checked; the tests then use
     * {@link BenchExtension#handle()}.
     */
    boolean initialized() default false;
}
