package com.vantorel.kestra.comm;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;

/**
 * A program that holds the library initialised, and with it the
 * device-change monitor, until it reads "quit" from its standard input. It
 * prints "ready" once initialised.
 */
public final class MonitorHost {
    private MonitorHost() {}

    public static void main(String[] args) throws Exception {
        int handle = KESTRACommUSBAccess.usbInitialize();
        if (handle != 0) {
            System.out.println("usbInitialize " + handle);
            System.exit(2);
        }
        int list = KESTRACommUSBAccess.usbCreateDeviceList(handle, 0xFFFF);
        System.out.println("ready");
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
        for (String line; (line = in.readLine()) != null && !line.equals("quit"); ) {
            // Nothing else to do: the monitor works on its own thread.
        }
        KESTRACommUSBAccess.usbReleaseDeviceList(list);
        KESTRACommUSBAccess.usbRelease(handle);
    }
}
