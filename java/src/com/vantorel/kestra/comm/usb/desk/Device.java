package com.vantorel.kestra.comm.usb.desk;

/**
 * A USB device on a hub port. The kinds: {@link #winUsb} (driven by WinUSB:
 * bulk pipes 0x01 and 0x81 that loop back, vendor control requests echoed),
 * {@link #hid} (one HID interface that echoes 64-byte reports),
 * {@link #massStorage}, {@link #plain} (no driver the library opens) and
 * {@link #hub} (an external hub with ports of its own).
 */
public final class Device extends BenchNode<Device> {
    private Hub hub;

    private Device(int vendorId, int productId) {
        checkWord(vendorId, "vendor id");
        checkWord(productId, "product id");
        set("vendorId", hex(vendorId));
        set("productId", hex(productId));
    }

    @Override
    Device self() {
        return this;
    }

    public static Device winUsb(int vendorId, int productId) {
        return new Device(vendorId, productId).set("kind", "winusb");
    }

    public static Device hid(int vendorId, int productId) {
        return new Device(vendorId, productId).set("kind", "hid");
    }

    public static Device massStorage(int vendorId, int productId) {
        return new Device(vendorId, productId).set("kind", "massStorage");
    }

    public static Device plain(int vendorId, int productId) {
        return new Device(vendorId, productId).set("kind", "plain");
    }

    /** An external hub; put devices on its ports through {@link #downstream()}. */
    public static Device hub(int vendorId, int productId, int portCount) {
        Device device = new Device(vendorId, productId);
        device.hub = new Hub().portCount(portCount);
        return device.set("hub", device.hub);
    }

    /** The hub inside a hub device. */
    public Hub downstream() {
        if (hub == null) {
            throw new IllegalStateException("the device " + get("vendorId") + ":" + get("productId") + " is no hub");
        }
        return hub;
    }

    boolean isHub() {
        return hub != null;
    }

    public Device manufacturer(String text) {
        return set("manufacturer", text);
    }

    public Device product(String text) {
        return set("product", text);
    }

    public Device serialNumber(String text) {
        return set("serialNumber", text);
    }

    /** The release number, bcdDevice: 0x0100 is release 1.00. */
    public Device release(int bcd) {
        checkWord(bcd, "release");
        return set("release", hex(bcd));
    }

    /** "low", "full", "high" or "super". */
    public Device speed(String speed) {
        return set("speed", speed);
    }

    /** The device's interface path; a device that keeps it is the same device across plugs and unplugs. */
    public Device interfacePath(String path) {
        return set("interfacePath", path);
    }

    /** The driver service; {@code null} for a device without one. */
    public Device service(String service) {
        return set("service", service);
    }

    /** HID devices: the interface stays silent, so that report reads time out. */
    public Device silentReports() {
        return set("hidReports", "silent");
    }

    /** HID devices: each output report comes back as the next input report (the default). */
    public Device echoReports() {
        return set("hidReports", "echo");
    }

    /** WinUSB devices: the pipes and control behaviour, replacing the kind's default loopback. */
    public Device winUsbBehaviour(WinUsbBehaviour behaviour) {
        return set("winusb", behaviour);
    }

    /**
     * Makes one of the device's requests fail with a Windows error code:
     * "connectionInfoEx", "connectionInfo", "driverKeyName", "nodeName",
     * "configuration", "bos", "languages".
     */
    public Device failRequest(String request, int error) {
        return nested(error, "faults", request, "failWith");
    }

    /** Makes the string descriptor of {@code index} fail with {@code error} (31: stall). */
    public Device failString(int index, int error) {
        return nested(error, "faults", "strings", Integer.toString(index), "failWith");
    }

    /** Opening the device fails with {@code error} (32: sharing violation, 5: access denied). */
    public Device openError(int error) {
        return nested(error, "faults", "openError");
    }

    /** Any other fault of the device, by its key under "faults". */
    public Device fault(String name, Object value) {
        return nested(value, "faults", name);
    }
}
