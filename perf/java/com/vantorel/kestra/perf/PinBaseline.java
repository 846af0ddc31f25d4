package com.vantorel.kestra.perf;

/**
 * One native call that only pins and releases a byte array: what a transfer
 * call costs at the least through JNI. Loaded from the path in the system
 * property {@code tamberlyx.perf.baseline}.
 */
final class PinBaseline {
    static {
        System.load(System.getProperty("tamberlyx.perf.baseline"));
    }

    private PinBaseline() {}

    static native int pinAndRelease(int length, byte[] data);
}
