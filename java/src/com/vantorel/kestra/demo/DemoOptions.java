package com.vantorel.kestra.demo;

import java.nio.file.Path;
import java.nio.file.Paths;

/** What the demo was asked to do, read from its command line. */
final class DemoOptions {
    static final int ALL_VENDORS = 0xFFFF;

    static final String USAGE = String.join("\n",
            "usage: scripts/demo [--bench FILE] [--vendor VID] [--trace]",
            "  --bench FILE   run over this bench file instead of the built-in bench",
            "  --vendor VID   list the devices of one vendor only (hexadecimal, e.g. 1A2B)",
            "  --trace        write the library's trace for this run and print it");

    /** The bench the demo's machine is made from; null: the simulated machine's own choice. */
    Path bench;
    int vendorFilter = ALL_VENDORS;
    boolean trace;
    boolean help;

    /**
     * Reads the arguments.
     *
     * @throws DemoExit for an argument the demo does not understand
     */
    static DemoOptions parse(String[] args) {
        DemoOptions options = new DemoOptions();
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            switch (arg) {
                case "--bench":
                    options.bench = Paths.get(valueOf(args, ++i, arg));
                    break;
                case "--vendor":
                    options.vendorFilter = parseVendor(valueOf(args, ++i, arg));
                    break;
                case "--trace":
                    options.trace = true;
                    break;
                case "--help":
                case "-h":
                    options.help = true;
                    break;
                default:
                    throw DemoExit.usage("unknown argument \"" + arg + "\"");
            }
        }
        return options;
    }

    static int parseVendor(String text) {
        String digits = text.startsWith("0x") || text.startsWith("0X") ? text.substring(2) : text;
        if (digits.isEmpty() || digits.length() > 4 || !digits.chars().allMatch(DemoOptions::isHexDigit)) {
            throw DemoExit.usage("--vendor takes a hexadecimal vendor id of up to four digits, not \"" + text + "\"");
        }
        return Integer.parseInt(digits, 16);
    }

    private static boolean isHexDigit(int c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    private static String valueOf(String[] args, int i, String option) {
        if (i >= args.length) {
            throw DemoExit.usage(option + " needs a value");
        }
        return args[i];
    }
}
