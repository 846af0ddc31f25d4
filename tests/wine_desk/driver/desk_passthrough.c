/* A function driver that does nothing but pass every request down to the
 * device it sits on. The Wine desk registers it under the names of services
 * that Wine has no driver for (WinUSB, HidUsb, USBSTOR, ...), so that a
 * device's service, as SetupAPI reports it, is the one its bench names.
 * Test code: never shipped. */
#include <ntddk.h>

struct passthrough_ext {
    DEVICE_OBJECT *lower;
};

static NTSTATUS WINAPI pass_down(DEVICE_OBJECT *device, IRP *irp) {
    struct passthrough_ext *ext = device->DeviceExtension;
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    DEVICE_OBJECT *lower = ext->lower;
    NTSTATUS status;

    if (stack->MajorFunction == IRP_MJ_POWER) {
        PoStartNextPowerIrp(irp);
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(lower, irp);
    }
    IoSkipCurrentIrpStackLocation(irp);
    if (stack->MajorFunction == IRP_MJ_PNP && stack->MinorFunction == IRP_MN_REMOVE_DEVICE) {
        status = IoCallDriver(lower, irp);
        IoDetachDevice(lower);
        IoDeleteDevice(device);
        return status;
    }
    return IoCallDriver(lower, irp);
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT *driver, DEVICE_OBJECT *pdo) {
    DEVICE_OBJECT *device;
    struct passthrough_ext *ext;
    NTSTATUS status = IoCreateDevice(driver, sizeof(*ext), NULL, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (status) return status;
    ext = device->DeviceExtension;
    ext->lower = IoAttachDeviceToDeviceStack(device, pdo);
    if (!ext->lower) {
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void WINAPI unload(DRIVER_OBJECT *driver) { (void)driver; }

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registry) {
    unsigned int i;
    (void)registry;
    driver->DriverExtension->AddDevice = add_device;
    for (i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = pass_down;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}
