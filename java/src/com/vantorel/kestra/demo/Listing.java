package com.vantorel.kestra.demo;

import com.vantorel.kestra.comm.KESTRACommUSBAccess;
import com.vantorel.kestra.comm.usb.DeviceDescription;
import com.vantorel.kestra.comm.usb.MalformedRecordException;
import java.util.ArrayList;
import java.util.List;
import java.util.function.Predicate;

/** One device list of the library and the records it answered, by index. */
final class Listing {
    final int id;
    final int vendorFilter;
    /** The record at each index as the library gave it. */
    final List<String> records = new ArrayList<>();
    /** The parsed record at each index; null where the record could not be read. */
    final List<DeviceDescription> devices = new ArrayList<>();

    private Listing(int id, int vendorFilter) {
        this.id = id;
        this.vendorFilter = vendorFilter;
    }

    /** Creates the list of one vendor's devices (0xFFFF: all) and reads its records. */
    static Listing create(Report report, int handle, int vendorFilter) {
        int id = report.call(String.format("usbCreateDeviceList(%d, 0x%04X)", handle, vendorFilter),
                KESTRACommUSBAccess.usbCreateDeviceList(handle, vendorFilter));
        if (id < 0) {
            throw DemoExit.failed("the library refused to create a device list (" + id + ")");
        }
        Listing listing = new Listing(id, vendorFilter);
        listing.reload(report);
        return listing;
    }

    /** A listing of records already read (list {@code id}, index order). */
    static Listing forRecords(int id, List<String> records) {
        Listing listing = new Listing(id, DemoOptions.ALL_VENDORS);
        for (String record : records) {
            listing.records.add(record);
            listing.devices.add(parse(record));
        }
        return listing;
    }

    /** Reads the count and every record again. */
    void reload(Report report) {
        records.clear();
        devices.clear();
        int count = report.call("usbGetDeviceListCount(" + id + ")", KESTRACommUSBAccess.usbGetDeviceListCount(id));
        for (int index = 0; index < count; index++) {
            String record = KESTRACommUSBAccess.usbGetDeviceInfo(id, index);
            records.add(record == null ? "" : record);
            devices.add(parse(record));
        }
    }

    /** The record of one device as the library gives it now. */
    String recordAt(int index) {
        String record = KESTRACommUSBAccess.usbGetDeviceInfo(id, index);
        return record == null ? "" : record;
    }

    /** The index of the first present device that {@code wanted} accepts; -1 when there is none. */
    int find(Predicate<DeviceDescription> wanted) {
        for (int index = 0; index < devices.size(); index++) {
            DeviceDescription device = devices.get(index);
            if (device != null && device.isPresent() && wanted.test(device)) {
                return index;
            }
        }
        return -1;
    }

    /** Whether {@code device} is the one with this product text and serial number. */
    static boolean named(DeviceDescription device, String product, String serial) {
        return device.product().orElse("").equals(product) && device.serialNumber().orElse("").equals(serial);
    }

    static DeviceDescription parse(String record) {
        try {
            return DeviceDescription.parseAnswer(record).orElse(null);
        } catch (MalformedRecordException e) {
            return null;
        }
    }
}
