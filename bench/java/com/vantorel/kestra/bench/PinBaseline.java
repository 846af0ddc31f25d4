package com.vantorel.kestra.bench;

/**
 * One native call that only pins and releases a byte array: what a transfer
 * call costs at the least through JNI. Loaded from the path in the system
 * property {@code tamberlyx.bench.baseline}.
 */
final class PinBaseline {
    static {
        System.load(System.getProperty("tamberlyx.bench.baseline"));
    }

    private PinBaseline() {}

    static native int pinAndRelease(int length, byte[] data);
}
