package com.vantorel.kestra.comm.usb.desk;

/** A host controller with its root hub. Without {@link #pci} or {@link #instanceId}, the bench makes up a PCI controller. */
public final class Controller extends BenchNode<Controller> {
    private final Hub rootHub = new Hub();

    public Controller() {
        set("rootHub", rootHub);
    }

    @Override
    Controller self() {
        return this;
    }

    /** The root hub, whose ports take devices. */
    public Hub rootHub() {
        return rootHub;
    }

    /** A controller on PCI with these ids. */
    public Controller pci(int vendor, int device, int subsystem, int revision) {
        java.util.Map<String, Object> pci = new java.util.LinkedHashMap<>();
        pci.put("vendor", hex(vendor));
        pci.put("device", hex(device));
        pci.put("subsystem", String.format("0x%08X", subsystem));
        pci.put("revision", String.format("0x%02X", revision));
        return set("pci", pci);
    }

    /** A controller not on PCI, under this device instance id. */
    public Controller instanceId(String instanceId) {
        return set("instanceId", instanceId);
    }

    public Controller description(String description) {
        return set("description", description);
    }

    /** The driver service of the controller's node, e.g. "usbehci". */
    public Controller service(String service) {
        return set("service", service);
    }

    /**
     * A fault of the controller: "openError" (an error code), "driverKeyName",
     * "rootHubName", "controllerInfo", "powerMap", or a SetupAPI fault.
     */
    public Controller fault(String name, Object value) {
        return nested(value, "faults", name);
    }
}
