/* The Wine desk's HID minidriver, installed as the HidUsb service of the
 * devices whose bench gives them a HID function. It registers with Wine's
 * HID class driver, which makes the HID collection, its interface and its
 * reads and writes; this driver answers the class driver's requests as a
 * device would: its attributes, report descriptor and strings (from the
 * bench, asked of the bus node below), output reports taken and, for an
 * echo device, given back as the next input report, while a silent device
 * never answers. A read still pending when the device goes is ended then.
 * Test code: never shipped.
 *
 * The requests and their buffers follow Wine's include/ddk/hidport.h and
 * its class driver (dlls/hidclass.sys): METHOD_NEITHER requests with the
 * input in Type3InputBuffer and the output in UserBuffer. */
#include <ntddk.h>

#include "../desk_blob.h"

#define DESK_HID_POOL_TAG 0x68736544u /* "Desh" */

/* From Wine's include/ddk/hidport.h and hidclass.h (mingw-w64's differ). */
#define HID_CTL_CODE(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_HID_GET_DEVICE_DESCRIPTOR HID_CTL_CODE(0)
#define IOCTL_HID_GET_REPORT_DESCRIPTOR HID_CTL_CODE(1)
#define IOCTL_HID_READ_REPORT HID_CTL_CODE(2)
#define IOCTL_HID_WRITE_REPORT HID_CTL_CODE(3)
#define IOCTL_HID_GET_STRING HID_CTL_CODE(4)
#define IOCTL_HID_ACTIVATE_DEVICE HID_CTL_CODE(7)
#define IOCTL_HID_DEACTIVATE_DEVICE HID_CTL_CODE(8)
#define IOCTL_HID_GET_DEVICE_ATTRIBUTES HID_CTL_CODE(9)
#define HID_REVISION 1
#define HID_HID_DESCRIPTOR_TYPE 0x21
#define HID_REPORT_DESCRIPTOR_TYPE 0x22

typedef struct {
    ULONG Revision;
    DRIVER_OBJECT *DriverObject;
    UNICODE_STRING *RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} HID_MINIDRIVER_REGISTRATION;

typedef struct {
    DEVICE_OBJECT *PhysicalDeviceObject;
    DEVICE_OBJECT *NextDeviceObject;
    void *MiniDeviceExtension;
} HID_DEVICE_EXTENSION;

typedef struct {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} HID_DEVICE_ATTRIBUTES;

#pragma pack(push, 1)
typedef struct {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
} HID_DESCRIPTOR;
#pragma pack(pop)

typedef struct {
    UCHAR *reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} HID_XFER_PACKET;

NTSTATUS WINAPI HidRegisterMinidriver(HID_MINIDRIVER_REGISTRATION *registration);

#define QUEUED_REPORTS 8

struct hid_device {
    struct desk_hid_info info;
    BOOLEAN known;        /* the bus answered */
    BOOLEAN removed;
    KSPIN_LOCK lock;
    LIST_ENTRY reads;     /* reads waiting for a report */
    uint8_t reports[QUEUED_REPORTS][DESK_HID_DESCRIPTOR_MAX]; /* echoed, not yet read */
    uint32_t report_lengths[QUEUED_REPORTS];
    uint32_t first, count;
};

static struct hid_device *device_of(DEVICE_OBJECT *fdo) {
    return ((HID_DEVICE_EXTENSION *)fdo->DeviceExtension)->MiniDeviceExtension;
}

static DEVICE_OBJECT *lower_of(DEVICE_OBJECT *fdo) {
    return ((HID_DEVICE_EXTENSION *)fdo->DeviceExtension)->NextDeviceObject;
}

/* Asks the bus node below for the device's HID function. */
static NTSTATUS ask_bus(DEVICE_OBJECT *fdo, struct hid_device *device) {
    IO_STATUS_BLOCK io;
    KEVENT event;
    IRP *irp;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    irp = IoBuildDeviceIoControlRequest(DESK_INTERNAL_GET_HID, lower_of(fdo), NULL, 0, &device->info,
                                        sizeof(device->info), TRUE, &event, &io);
    if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
    if (IoCallDriver(lower_of(fdo), irp) == STATUS_PENDING)
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, NULL);
    return io.Status;
}

/* Ends every read still waiting, as the device has gone. */
static void end_reads(struct hid_device *device) {
    KIRQL irql;
    LIST_ENTRY *entry;
    for (;;) {
        IRP *irp;
        KeAcquireSpinLock(&device->lock, &irql);
        device->removed = TRUE;
        entry = IsListEmpty(&device->reads) ? NULL : RemoveHeadList(&device->reads);
        KeReleaseSpinLock(&device->lock, irql);
        if (!entry) return;
        irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        irp->IoStatus.Status = STATUS_DELETE_PENDING;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
}

static ULONG copy_report(IRP *irp, ULONG room, const uint8_t *bytes, uint32_t length) {
    ULONG count = length < room ? length : room;
    RtlCopyMemory(irp->UserBuffer, bytes, count);
    /* The class driver expects whole reports: the rest reads as zeros. */
    if (count < room) RtlZeroMemory((uint8_t *)irp->UserBuffer + count, room - count);
    return room;
}

static NTSTATUS read_report(struct hid_device *device, IRP *irp, ULONG room) {
    KIRQL irql;
    KeAcquireSpinLock(&device->lock, &irql);
    if (device->removed) {
        KeReleaseSpinLock(&device->lock, irql);
        return STATUS_DELETE_PENDING;
    }
    if (device->count > 0) {
        uint32_t slot = device->first;
        device->first = (device->first + 1) % QUEUED_REPORTS;
        --device->count;
        irp->IoStatus.Information = copy_report(irp, room, device->reports[slot], device->report_lengths[slot]);
        KeReleaseSpinLock(&device->lock, irql);
        return STATUS_SUCCESS;
    }
    /* Nothing to read: the read waits for an echo, or for ever. */
    IoMarkIrpPending(irp);
    InsertTailList(&device->reads, &irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&device->lock, irql);
    return STATUS_PENDING;
}

/* Takes an output report; the count written is the report's length
 * (IOCTL_HID_WRITE_REPORT: Information is the number of bytes written). */
static NTSTATUS write_report(struct hid_device *device, IRP *irp, const HID_XFER_PACKET *packet) {
    IRP *waiting = NULL;
    ULONG room = 0;
    KIRQL irql;
    uint32_t length;
    if (!packet || !packet->reportBuffer) return STATUS_INVALID_PARAMETER;
    length = packet->reportBufferLen < DESK_HID_DESCRIPTOR_MAX ? packet->reportBufferLen : DESK_HID_DESCRIPTOR_MAX;
    irp->IoStatus.Information = packet->reportBufferLen;
    if (device->info.hid.behaviour != DESK_HID_ECHO) return STATUS_SUCCESS; /* taken, never answered */
    KeAcquireSpinLock(&device->lock, &irql);
    if (!IsListEmpty(&device->reads)) {
        waiting = CONTAINING_RECORD(RemoveHeadList(&device->reads), IRP, Tail.Overlay.ListEntry);
        room = IoGetCurrentIrpStackLocation(waiting)->Parameters.DeviceIoControl.OutputBufferLength;
        waiting->IoStatus.Information = copy_report(waiting, room, packet->reportBuffer, length);
    } else if (device->count < QUEUED_REPORTS) {
        uint32_t slot = (device->first + device->count) % QUEUED_REPORTS;
        RtlCopyMemory(device->reports[slot], packet->reportBuffer, length);
        device->report_lengths[slot] = length;
        ++device->count;
    }
    KeReleaseSpinLock(&device->lock, irql);
    if (waiting) {
        waiting->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(waiting, IO_NO_INCREMENT);
    }
    return STATUS_SUCCESS;
}

/* String ids: 1 to 3 or HID_STRING_ID_IMANUFACTURER (14) to
 * HID_STRING_ID_ISERIALNUMBER (16); the language is in the high word. */
static NTSTATUS get_string(struct hid_device *device, IRP *irp, ULONG_PTR asked, ULONG room) {
    uint32_t id = (uint32_t)(asked & 0xffff), which, length = 0;
    const uint16_t *text;
    if (id >= 14 && id <= 16) id -= 13;
    if (id < 1 || id > 3) return STATUS_INVALID_PARAMETER;
    which = id - 1;
    text = device->info.strings[which];
    /* A string the device does not have fails, as a string request to a
     * device without that string index does. */
    if (!device->info.has_string[which]) return STATUS_INVALID_PARAMETER;
    while (length < DESK_HID_STRING_CHARS && text[length]) ++length;
    if ((length + 1) * sizeof(WCHAR) > room) return STATUS_BUFFER_TOO_SMALL;
    RtlCopyMemory(irp->UserBuffer, text, length * sizeof(WCHAR));
    ((WCHAR *)irp->UserBuffer)[length] = 0;
    irp->IoStatus.Information = (length + 1) * sizeof(WCHAR);
    return STATUS_SUCCESS;
}

static NTSTATUS WINAPI internal_ioctl(DEVICE_OBJECT *fdo, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    struct hid_device *device = device_of(fdo);
    ULONG room = stack->Parameters.DeviceIoControl.OutputBufferLength;
    NTSTATUS status = STATUS_NOT_SUPPORTED;

    irp->IoStatus.Information = 0;
    if (!device->known && (status = ask_bus(fdo, device)) == STATUS_SUCCESS) device->known = TRUE;
    if (!device->known) {
        irp->IoStatus.Status = STATUS_DEVICE_NOT_CONNECTED;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
        HID_DEVICE_ATTRIBUTES *attributes = irp->UserBuffer;
        if (room < sizeof(*attributes)) {
            status = STATUS_BUFFER_TOO_SMALL;
            break;
        }
        RtlZeroMemory(attributes, sizeof(*attributes));
        attributes->Size = sizeof(*attributes);
        attributes->VendorID = device->info.hid.vendor_id;
        attributes->ProductID = device->info.hid.product_id;
        attributes->VersionNumber = device->info.hid.version_number;
        irp->IoStatus.Information = sizeof(*attributes);
        status = STATUS_SUCCESS;
        break;
    }
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
        HID_DESCRIPTOR *descriptor = irp->UserBuffer;
        if (room < sizeof(*descriptor)) {
            status = STATUS_BUFFER_TOO_SMALL;
            break;
        }
        descriptor->bLength = sizeof(*descriptor);
        descriptor->bDescriptorType = HID_HID_DESCRIPTOR_TYPE;
        descriptor->bcdHID = 0x0111;
        descriptor->bCountry = 0;
        descriptor->bNumDescriptors = 1;
        descriptor->bReportType = HID_REPORT_DESCRIPTOR_TYPE;
        descriptor->wReportLength = (USHORT)device->info.report_descriptor_length;
        irp->IoStatus.Information = sizeof(*descriptor);
        status = STATUS_SUCCESS;
        break;
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        if (room < device->info.report_descriptor_length) {
            status = STATUS_BUFFER_TOO_SMALL;
            break;
        }
        RtlCopyMemory(irp->UserBuffer, device->info.report_descriptor, device->info.report_descriptor_length);
        irp->IoStatus.Information = device->info.report_descriptor_length;
        status = STATUS_SUCCESS;
        break;
    case IOCTL_HID_GET_STRING:
        status = get_string(device, irp, (ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer, room);
        break;
    case IOCTL_HID_READ_REPORT:
        status = read_report(device, irp, room);
        if (status == STATUS_PENDING) return STATUS_PENDING;
        break;
    case IOCTL_HID_WRITE_REPORT:
        status = write_report(device, irp, irp->UserBuffer);
        break;
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE:
        status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WINAPI pnp(DEVICE_OBJECT *fdo, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MinorFunction == IRP_MN_SURPRISE_REMOVAL || stack->MinorFunction == IRP_MN_REMOVE_DEVICE)
        end_reads(device_of(fdo));
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower_of(fdo), irp);
}

static NTSTATUS WINAPI power(DEVICE_OBJECT *fdo, IRP *irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(lower_of(fdo), irp);
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT *driver, DEVICE_OBJECT *fdo) {
    struct hid_device *device = device_of(fdo);
    (void)driver;
    RtlZeroMemory(device, sizeof(*device));
    KeInitializeSpinLock(&device->lock);
    InitializeListHead(&device->reads);
    return STATUS_SUCCESS;
}

static void WINAPI unload(DRIVER_OBJECT *driver) { (void)driver; }

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registry) {
    HID_MINIDRIVER_REGISTRATION registration;
    driver->DriverExtension->AddDevice = add_device;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = internal_ioctl;
    driver->MajorFunction[IRP_MJ_PNP] = pnp;
    driver->MajorFunction[IRP_MJ_POWER] = power;
    driver->DriverUnload = unload;
    RtlZeroMemory(&registration, sizeof(registration));
    registration.Revision = HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registry;
    registration.DeviceExtensionSize = sizeof(struct hid_device);
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}
