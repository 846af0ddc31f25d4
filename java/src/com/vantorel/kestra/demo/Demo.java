package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;

/**
 * A small client of the library: initialises it, lists the devices of one
 * vendor (all vendors unless a hexadecimal vendor id is given), prints what
 * the library answers and releases everything again.
 */
public final class Demo {
    private static final int ALL_VENDORS = 0xFFFF;

    private Demo() {}

    public static void main(String[] args) {
        int vendorFilter = ALL_VENDORS;
        if (args.length > 0) {
            try {
                vendorFilter = Integer.parseInt(args[0], 16);
            } catch (NumberFormatException e) {
                System.err.println("usage: demo [vendor id in hexadecimal, e.g. 04D8]");
                System.exit(2);
            }
        }

        int handle = KESTRACommUSBAccess.usbInitialize();
        System.out.println("usbInitialize: " + handle);
        if (handle < 0) {
            System.exit(1);
        }

        int listId = KESTRACommUSBAccess.usbCreateDeviceList(handle, vendorFilter);
        System.out.printf("usbCreateDeviceList(vendor %04X): %d%n", vendorFilter, listId);
        if (listId >= 0) {
            int count = KESTRACommUSBAccess.usbGetDeviceListCount(listId);
            System.out.println("usbGetDeviceListCount: " + count);
            for (int index = 0; index < count; index++) {
                System.out.println("  " + index + ": " + KESTRACommUSBAccess.usbGetDeviceInfo(listId, index));
            }
            System.out.println("usbReleaseDeviceList: " + KESTRACommUSBAccess.usbReleaseDeviceList(listId));
        }
        System.out.println("usbRelease: " + KESTRACommUSBAccess.usbRelease(handle));
    }
}
