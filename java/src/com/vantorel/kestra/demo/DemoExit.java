package com.vantorel.kestra.demo;

/**
 * Ends the demo with one line on standard error and an exit status; the
 * demo's way of refusing what it cannot run over, without a stack trace.
 */
final class DemoExit extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** The run could not go on (library, machine). */
    static final int FAILED = 1;
    /** The demo was asked for something it cannot do (arguments, bench file). */
    static final int USAGE = 2;

    final int status;

    DemoExit(int status, String message) {
        super(message, null, false, false);
        this.status = status;
    }

    static DemoExit usage(String message) {
        return new DemoExit(USAGE, message);
    }

    static DemoExit failed(String message) {
        return new DemoExit(FAILED, message);
    }
}
