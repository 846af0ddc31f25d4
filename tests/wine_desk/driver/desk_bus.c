/* The Wine desk's bus driver: a root-enumerated bus that presents a bench's
 * USB tree to Windows' own plug-and-play manager as real device nodes (host
 * controllers, their root hubs, the devices and hubs on their ports, each
 * hub reporting its own ports as bus relations), and answers the requests
 * that the host-controller and hub drivers answer on Windows. Test code:
 * never shipped.
 *
 * The machine arrives from the user-mode loader as one blob (desk_blob.h)
 * over the bus's control interface; nothing in it is trusted before it has
 * been checked. Names, driver keys and properties of the device nodes are
 * the system's own: the plug-and-play manager and SetupAPI make them from
 * the ids answered here and the INF files the loader installed. */
#include <ntddk.h>
#include <initguid.h>
#include <usb.h>
#include <usbioctl.h>
#include <usbuser.h>

#include "../desk_blob.h"

DEFINE_GUID(desk_control_class, 0x6f0f2a4c, 0x4e0b, 0x4d3c, 0x9a, 0x55, 0x2d, 0x3b, 0x7c, 0x1e, 0x8a, 0x01);
DEFINE_GUID(desk_host_controller_class, 0x3abf6f2d, 0x71c4, 0x462a, 0x8a, 0x92, 0x1e, 0x68, 0x61, 0xe6, 0xaf, 0x27);
DEFINE_GUID(desk_hub_class, 0xf18a0e88, 0xc30c, 0x11d0, 0x88, 0x15, 0x00, 0xa0, 0xc9, 0x06, 0xbe, 0xd8);
DEFINE_GUID(desk_usb_device_class, 0xa5dcbf10, 0x6530, 0x11d2, 0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed);
DEFINE_GUID(desk_fixed_class, 0x58d07210, 0x27c1, 0x11dd, 0xbd, 0x0b, 0x08, 0x00, 0x20, 0x0c, 0x9a, 0x66);

#define DESK_POOL_TAG 0x6b736544u /* "Desk" in a pool dump */
#define DESK_MAX_LINKS 3

struct desk_parsed {
    const struct desk_node *node;
    const uint8_t *items; /* the node's items, items_size bytes */
    uint32_t items_size;
};

struct desk_ext {
    BOOLEAN is_fdo;
    uint32_t node; /* PDOs: the node index */
    UNICODE_STRING links[DESK_MAX_LINKS];
    uint32_t link_count;
    int32_t hub_link; /* which of the links is the hub interface; -1: none */
    BOOLEAN reported_missing; /* left out of its parent's relations: deleted on removal */
};

static DRIVER_OBJECT *desk_driver;
static DEVICE_OBJECT *bus_fdo, *bus_pdo;
static UNICODE_STRING control_link;
static FAST_MUTEX desk_lock;
static uint8_t *blob;                 /* the machine, once loaded */
static struct desk_parsed *nodes;     /* node_count entries */
static DEVICE_OBJECT **node_devices;  /* a PDO per node, made when first reported */
static BOOLEAN *node_absent;          /* pulled out (its subtree with it) */
static uint32_t node_count;

static uint32_t padded(uint32_t length) { return (length + 3u) & ~3u; }

/* Checks the blob and indexes its nodes; false leaves nothing behind. */
static BOOLEAN parse_blob(const uint8_t *data, uint32_t size, struct desk_parsed **out, uint32_t *count) {
    const struct desk_blob_header *header = (const struct desk_blob_header *)data;
    struct desk_parsed *parsed;
    uint32_t offset = sizeof(*header), i;

    if (size < sizeof(*header) || header->magic != DESK_BLOB_MAGIC || header->version != DESK_BLOB_VERSION ||
        header->total_size != size || header->node_count > DESK_MAX_NODES)
        return FALSE;
    /* A machine without controllers has no nodes; one entry is kept all the same. */
    parsed = ExAllocatePoolWithTag(NonPagedPool, (header->node_count + 1) * sizeof(*parsed), DESK_POOL_TAG);
    if (!parsed) return FALSE;
    for (i = 0; i < header->node_count; ++i) {
        const struct desk_node *node = (const struct desk_node *)(data + offset);
        uint32_t at;
        if (size - offset < sizeof(*node) || node->size < sizeof(*node) || node->size > size - offset ||
            (node->size & 3u) || node->kind < DESK_CONTROLLER || node->kind > DESK_DEVICE ||
            node->parent >= (int32_t)i || node->parent < -1 || (node->parent == -1) != (node->kind == DESK_CONTROLLER))
            goto bad;
        if (node->parent >= 0) {
            const struct desk_node *parent = parsed[node->parent].node;
            BOOLEAN parent_is_hub = parent->kind == DESK_ROOT_HUB || (parent->flags & DESK_FLAG_HUB);
            if (node->kind == DESK_ROOT_HUB ? parent->kind != DESK_CONTROLLER : !parent_is_hub) goto bad;
            if (node->kind == DESK_DEVICE && (node->port == 0 || node->port > parent->port_count)) goto bad;
        }
        /* Every item lies inside its node. */
        for (at = sizeof(*node); at < node->size;) {
            const struct desk_item *item = (const struct desk_item *)((const uint8_t *)node + at);
            if (node->size - at < sizeof(*item) || item->length > node->size - at - sizeof(*item) ||
                padded(item->length) > node->size - at - sizeof(*item))
                goto bad;
            at += sizeof(*item) + padded(item->length);
        }
        parsed[i].node = node;
        parsed[i].items = (const uint8_t *)node + sizeof(*node);
        parsed[i].items_size = node->size - sizeof(*node);
        offset += node->size;
    }
    if (offset != size) goto bad;
    *out = parsed;
    *count = header->node_count;
    return TRUE;
bad:
    ExFreePoolWithTag(parsed, DESK_POOL_TAG);
    return FALSE;
}

static const struct desk_item *find_item(uint32_t index, uint32_t type, uint32_t key) {
    const struct desk_parsed *p = &nodes[index];
    uint32_t at = 0;
    while (at < p->items_size) {
        const struct desk_item *item = (const struct desk_item *)(p->items + at);
        if (item->type == type && item->key == key) return item;
        at += sizeof(*item) + padded(item->length);
    }
    return NULL;
}

static const uint8_t *item_bytes(const struct desk_item *item) { return (const uint8_t *)(item + 1); }

/* The fault the bench gives an answer of a node, or NULL. The record sits
 * in the driver's own copy of the blob, so a descriptor's read counter can
 * be kept in it. */
static struct desk_fault *find_fault(uint32_t index, uint32_t type, uint32_t key) {
    const struct desk_item *item = find_item(index, type, key);
    if (!item || item->length != sizeof(struct desk_fault)) return NULL;
    return (struct desk_fault *)item_bytes(item);
}

/* Whether a fault makes its request fail before anything is answered; a
 * warning still answers. */
static BOOLEAN fails(const struct desk_fault *fault) { return fault && NT_ERROR((NTSTATUS)fault->status); }
static NTSTATUS status_of(const struct desk_fault *fault) { return fault ? (NTSTATUS)fault->status : STATUS_SUCCESS; }

/* ---- plug and play ---------------------------------------------------- */

static BOOLEAN is_hub(uint32_t index) {
    const struct desk_node *node = nodes[index].node;
    return node->kind == DESK_ROOT_HUB || (node->kind == DESK_DEVICE && (node->flags & DESK_FLAG_HUB));
}

static DEVICE_OBJECT *device_for(uint32_t index) {
    struct desk_ext *ext;
    DEVICE_OBJECT *device;
    if (node_devices[index]) return node_devices[index];
    if (IoCreateDevice(desk_driver, sizeof(*ext), NULL,
                       nodes[index].node->kind == DESK_DEVICE ? FILE_DEVICE_UNKNOWN : FILE_DEVICE_BUS_EXTENDER,
                       FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &device))
        return NULL;
    ext = device->DeviceExtension;
    RtlZeroMemory(ext, sizeof(*ext));
    ext->node = index;
    ext->hub_link = -1;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    node_devices[index] = device;
    return device;
}

/* Whether a node lies below another one. */
static BOOLEAN is_below(uint32_t index, uint32_t ancestor) {
    int32_t at = nodes[index].node->parent;
    while (at >= 0 && (uint32_t)at != ancestor) at = nodes[at].node->parent;
    return at >= 0;
}

/* A node pulled out is left out of its parent's relations: plug and play
 * then removes its device object and everything below it, and a device
 * plugged in again is a new device object. The old one is deleted only
 * when its removal comes, and only then; a device still present keeps its
 * object through a removal ("Removing a Device in a Bus Driver": the bus
 * driver deletes the PDO on IRP_MN_REMOVE_DEVICE once it has reported the
 * device missing, and keeps it otherwise). Deciding by whether the device
 * is present when the removal comes would keep an object plug and play has
 * already given up (with the children it had) whenever the device comes
 * back before its removal arrives. Called with desk_lock held. */
static void report_missing(uint32_t index) {
    uint32_t i;
    for (i = index; i < node_count; ++i) {
        DEVICE_OBJECT *device = node_devices[i];
        if (!device || (i != index && !is_below(i, index))) continue;
        ((struct desk_ext *)device->DeviceExtension)->reported_missing = TRUE;
        node_devices[i] = NULL;
    }
}

/* The children of a node (of the bus itself for parent -1): controllers of
 * the bus, the root hub of a controller, the devices on a hub's ports. */
static NTSTATUS bus_relations(int32_t parent, IRP *irp) {
    DEVICE_RELATIONS *relations;
    uint32_t i, count = 0;

    ExAcquireFastMutex(&desk_lock);
    for (i = 0; i < node_count; ++i)
        if (nodes[i].node->parent == parent && node_absent[i]) report_missing(i);
    for (i = 0; i < node_count; ++i)
        if (nodes[i].node->parent == parent && !node_absent[i]) ++count;
    relations = ExAllocatePoolWithTag(PagedPool, FIELD_OFFSET(DEVICE_RELATIONS, Objects[count + 1]), DESK_POOL_TAG);
    if (!relations) {
        ExReleaseFastMutex(&desk_lock);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    relations->Count = 0;
    for (i = 0; i < node_count; ++i) {
        DEVICE_OBJECT *device;
        if (nodes[i].node->parent != parent || node_absent[i] || !(device = device_for(i))) continue;
        ObReferenceObject(device);
        relations->Objects[relations->Count++] = device;
    }
    ExReleaseFastMutex(&desk_lock);
    irp->IoStatus.Information = (ULONG_PTR)relations;
    return STATUS_SUCCESS;
}

static NTSTATUS query_id(uint32_t index, BUS_QUERY_ID_TYPE type, IRP *irp) {
    static const uint32_t item_types[] = {DESK_ITEM_DEVICE_ID, DESK_ITEM_HARDWARE_IDS, DESK_ITEM_COMPATIBLE_IDS,
                                          DESK_ITEM_INSTANCE_ID};
    const struct desk_item *item;
    WCHAR *id;
    if ((uint32_t)type >= sizeof(item_types) / sizeof(item_types[0])) return irp->IoStatus.Status;
    item = find_item(index, item_types[type], 0);
    if (!item) {
        /* No compatible ids: an empty list, which Wine's installer needs. */
        if (type != BusQueryCompatibleIDs) return STATUS_NOT_SUPPORTED;
        if (!(id = ExAllocatePoolWithTag(PagedPool, 2 * sizeof(WCHAR), DESK_POOL_TAG))) return STATUS_NO_MEMORY;
        id[0] = id[1] = 0;
    } else {
        if (!(id = ExAllocatePoolWithTag(PagedPool, item->length + 2 * sizeof(WCHAR), DESK_POOL_TAG)))
            return STATUS_NO_MEMORY;
        RtlCopyMemory(id, item_bytes(item), item->length);
        RtlZeroMemory((uint8_t *)id + item->length, 2 * sizeof(WCHAR)); /* ended whatever the blob says */
    }
    irp->IoStatus.Information = (ULONG_PTR)id;
    return STATUS_SUCCESS;
}

static void register_link(DEVICE_OBJECT *device, const GUID *class) {
    struct desk_ext *ext = device->DeviceExtension;
    if (ext->link_count == DESK_MAX_LINKS) return;
    if (IoRegisterDeviceInterface(device, class, NULL, &ext->links[ext->link_count])) return;
    IoSetDeviceInterfaceState(&ext->links[ext->link_count], TRUE);
    if (class == &desk_hub_class) ext->hub_link = (int32_t)ext->link_count;
    ++ext->link_count;
}

static void set_links(DEVICE_OBJECT *device, BOOLEAN enable) {
    struct desk_ext *ext = device->DeviceExtension;
    uint32_t i;
    for (i = 0; i < ext->link_count; ++i) IoSetDeviceInterfaceState(&ext->links[i], enable);
}

static NTSTATUS pdo_pnp(DEVICE_OBJECT *device, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    struct desk_ext *ext = device->DeviceExtension;
    const struct desk_node *node = nodes[ext->node].node;
    NTSTATUS status = irp->IoStatus.Status;

    switch (stack->MinorFunction) {
    case IRP_MN_QUERY_ID:
        status = query_id(ext->node, stack->Parameters.QueryId.IdType, irp);
        break;
    case IRP_MN_QUERY_CAPABILITIES: {
        DEVICE_CAPABILITIES *caps = stack->Parameters.DeviceCapabilities.Capabilities;
        /* Without a function driver, the device starts raw. */
        caps->RawDeviceOK = (node->flags & DESK_FLAG_NO_SERVICE) || node->kind != DESK_DEVICE;
        caps->Removable = node->kind == DESK_DEVICE;
        caps->SurpriseRemovalOK = 1;
        caps->Address = node->port;
        status = STATUS_SUCCESS;
        break;
    }
    case IRP_MN_START_DEVICE:
        if (ext->link_count == 0) {
            if (node->kind == DESK_CONTROLLER) register_link(device, &desk_host_controller_class);
            if (node->kind == DESK_DEVICE) register_link(device, &desk_usb_device_class);
            if (is_hub(ext->node)) register_link(device, &desk_hub_class);
            if (node->flags & DESK_FLAG_FIXED_CLASS) register_link(device, &desk_fixed_class);
        } else {
            set_links(device, TRUE);
        }
        /* A controller or hub reports what is on its ports once started;
         * plug and play asks only when told (IoInvalidateDeviceRelations). */
        if (node->kind == DESK_CONTROLLER || is_hub(ext->node)) IoInvalidateDeviceRelations(device, BusRelations);
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        /* A hub reports its ports; a leaf leaves the list to its drivers. */
        if (stack->Parameters.QueryDeviceRelations.Type == BusRelations &&
            (node->kind == DESK_CONTROLLER || is_hub(ext->node)))
            status = bus_relations((int32_t)ext->node, irp);
        else if (stack->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
            DEVICE_RELATIONS *relations = ExAllocatePoolWithTag(PagedPool, sizeof(*relations), DESK_POOL_TAG);
            if (!relations) {
                status = STATUS_INSUFFICIENT_RESOURCES;
                break;
            }
            relations->Count = 1;
            relations->Objects[0] = device;
            ObReferenceObject(device);
            irp->IoStatus.Information = (ULONG_PTR)relations;
            status = STATUS_SUCCESS;
        }
        break;
    case IRP_MN_REMOVE_DEVICE:
        set_links(device, FALSE);
        if (ext->reported_missing) {
            uint32_t i;
            for (i = 0; i < ext->link_count; ++i) RtlFreeUnicodeString(&ext->links[i]);
            irp->IoStatus.Status = STATUS_SUCCESS;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            IoDeleteDevice(device);
            return STATUS_SUCCESS;
        }
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_STOP_DEVICE:
        set_links(device, FALSE);
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
        status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS fdo_pnp(IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status;

    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        IoSkipCurrentIrpStackLocation(irp);
        status = IoCallDriver(bus_pdo, irp);
        IoSetDeviceInterfaceState(&control_link, TRUE);
        return status;
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (stack->Parameters.QueryDeviceRelations.Type == BusRelations && blob) {
            status = bus_relations(-1, irp);
            if (status != STATUS_SUCCESS) {
                irp->IoStatus.Status = status;
                IoCompleteRequest(irp, IO_NO_INCREMENT);
                return status;
            }
            irp->IoStatus.Status = STATUS_SUCCESS;
        }
        break;
    case IRP_MN_REMOVE_DEVICE:
        IoSetDeviceInterfaceState(&control_link, FALSE);
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoSkipCurrentIrpStackLocation(irp);
        status = IoCallDriver(bus_pdo, irp);
        IoDetachDevice(bus_pdo);
        RtlFreeUnicodeString(&control_link);
        IoDeleteDevice(bus_fdo);
        bus_fdo = NULL;
        return status;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_STOP_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(bus_pdo, irp);
}

static NTSTATUS WINAPI dispatch_pnp(DEVICE_OBJECT *device, IRP *irp) {
    struct desk_ext *ext = device->DeviceExtension;
    return ext->is_fdo ? fdo_pnp(irp) : pdo_pnp(device, irp);
}

static NTSTATUS WINAPI dispatch_power(DEVICE_OBJECT *device, IRP *irp) {
    struct desk_ext *ext = device->DeviceExtension;
    NTSTATUS status;
    PoStartNextPowerIrp(irp);
    if (ext->is_fdo) {
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(bus_pdo, irp);
    }
    status = IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_SET_POWER ||
                     IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_QUERY_POWER
                 ? STATUS_SUCCESS
                 : irp->IoStatus.Status;
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* ---- requests to controllers and hubs ---------------------------------- */

struct request {
    uint8_t *buffer; /* METHOD_BUFFERED: the input, then the output */
    uint32_t in_size, out_size;
    ULONG_PTR information;
};

static uint32_t read_u32(const struct request *r) { return *(const uint32_t *)r->buffer; }

/* The node's driver key: the "Driver" value the installer wrote under its
 * device instance key (Wine has no DevicePropertyDriverKeyName). */
static NTSTATUS driver_key(uint32_t index, WCHAR *out, uint32_t capacity, uint32_t *length) {
    static const WCHAR prefix[] = L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";
    const struct desk_item *device_id = find_item(index, DESK_ITEM_DEVICE_ID, 0);
    const struct desk_item *instance_id = find_item(index, DESK_ITEM_INSTANCE_ID, 0);
    WCHAR path[512];
    UNICODE_STRING path_string, value_name;
    OBJECT_ATTRIBUTES attributes;
    uint8_t value[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 256 * sizeof(WCHAR)];
    KEY_VALUE_PARTIAL_INFORMATION *info = (KEY_VALUE_PARTIAL_INFORMATION *)value;
    ULONG size;
    HANDLE key;
    NTSTATUS status;
    uint32_t at = 0;

    if (!device_id || !instance_id ||
        sizeof(prefix) + device_id->length + instance_id->length + 2 * sizeof(WCHAR) > sizeof(path))
        return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(path, prefix, sizeof(prefix) - sizeof(WCHAR));
    at = sizeof(prefix) / sizeof(WCHAR) - 1;
    RtlCopyMemory(path + at, item_bytes(device_id), device_id->length);
    at += device_id->length / sizeof(WCHAR);
    while (at > 0 && path[at - 1] == 0) --at;
    path[at++] = L'\\';
    RtlCopyMemory(path + at, item_bytes(instance_id), instance_id->length);
    at += instance_id->length / sizeof(WCHAR);
    while (at > 0 && path[at - 1] == 0) --at;
    path[at] = 0;

    RtlInitUnicodeString(&path_string, path);
    InitializeObjectAttributes(&attributes, &path_string, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if ((status = ZwOpenKey(&key, KEY_READ, &attributes))) return status;
    RtlInitUnicodeString(&value_name, L"Driver");
    status = ZwQueryValueKey(key, &value_name, KeyValuePartialInformation, info, sizeof(value) - sizeof(WCHAR), &size);
    ZwClose(key);
    if (status) return status;
    if (info->Type != REG_SZ || info->DataLength / sizeof(WCHAR) >= capacity) return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(out, info->Data, info->DataLength);
    *length = info->DataLength / sizeof(WCHAR);
    while (*length > 0 && out[*length - 1] == 0) --*length;
    out[*length] = 0;
    return STATUS_SUCCESS;
}

/* A name answer: a fixed part ending in ActualLength, then the name. A
 * buffer that holds the fixed part and one character but not the whole
 * name gets ActualLength and the bare structure's size, and the request
 * still succeeds (IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, status
 * block: IoStatus.Information is sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME)
 * when the buffer cannot hold the whole answer; the other name requests
 * share the layout). A fault fails the request, or lies about ActualLength
 * or the count of a complete answer; a warning answers all the same. */
static NTSTATUS answer_name(struct request *r, uint32_t fixed, const WCHAR *name, uint32_t length,
                            const struct desk_fault *fault) {
    uint32_t actual = fixed + (length + 1) * sizeof(WCHAR);
    if (fails(fault)) return status_of(fault);
    if (r->out_size < fixed + sizeof(WCHAR)) return STATUS_BUFFER_TOO_SMALL;
    *(uint32_t *)(r->buffer + fixed - 4) =
        fault && (fault->flags & DESK_LIE_ACTUAL_LENGTH) ? fault->actual_length : actual;
    if (r->out_size < actual) {
        uint32_t structure = (fixed + sizeof(WCHAR) + 3u) & ~3u;
        r->information = structure < r->out_size ? structure : r->out_size;
        return status_of(fault);
    }
    RtlCopyMemory(r->buffer + fixed, name, length * sizeof(WCHAR));
    *(WCHAR *)(r->buffer + fixed + length * sizeof(WCHAR)) = 0;
    r->information = fault && (fault->flags & DESK_LIE_BYTES_RETURNED) ? fault->bytes_returned : actual;
    return status_of(fault);
}

/* The hub name of a node: its hub interface's link, without "\\??\\". */
static BOOLEAN hub_name(uint32_t index, const WCHAR **name, uint32_t *length) {
    DEVICE_OBJECT *device = node_devices[index];
    const UNICODE_STRING *link;
    struct desk_ext *ext;
    if (!device || (ext = device->DeviceExtension)->hub_link < 0) return FALSE;
    link = &ext->links[ext->hub_link];
    if (link->Length <= 4 * sizeof(WCHAR)) return FALSE;
    *name = link->Buffer + 4;
    *length = link->Length / sizeof(WCHAR) - 4;
    return TRUE;
}

static int32_t child_on_port(uint32_t hub, uint32_t port) {
    uint32_t i;
    for (i = hub + 1; i < node_count; ++i)
        if (nodes[i].node->parent == (int32_t)hub && nodes[i].node->port == port && !node_absent[i]) return (int32_t)i;
    return -1;
}

static int32_t child_of_kind(uint32_t parent, uint32_t kind) {
    uint32_t i;
    for (i = parent + 1; i < node_count; ++i)
        if (nodes[i].node->parent == (int32_t)parent && nodes[i].node->kind == kind) return (int32_t)i;
    return -1;
}

static NTSTATUS controller_request(uint32_t index, uint32_t code, struct request *r) {
    WCHAR key[256];
    uint32_t length;
    const WCHAR *name;
    switch (code) {
    case IOCTL_GET_HCD_DRIVERKEY_NAME: {
        const struct desk_fault *fault = find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_DRIVER_KEY);
        if (fails(fault)) return status_of(fault);
        if (driver_key(index, key, 256, &length)) return STATUS_INVALID_PARAMETER;
        return answer_name(r, 4, key, length, fault);
    }
    case IOCTL_USB_GET_ROOT_HUB_NAME:
        if (child_of_kind(index, DESK_ROOT_HUB) < 0 || !hub_name((uint32_t)child_of_kind(index, DESK_ROOT_HUB), &name, &length)) {
            name = L"";
            length = 0;
        }
        return answer_name(r, 4, name, length, find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_ROOT_HUB_NAME));
    case IOCTL_USB_USER_REQUEST: {
        USBUSER_REQUEST_HEADER *header = (USBUSER_REQUEST_HEADER *)r->buffer;
        uint32_t room = r->in_size < r->out_size ? r->in_size : r->out_size;
        const struct desk_item *item;
        const struct desk_fault *fault;
        if (r->in_size < sizeof(*header) || r->out_size < sizeof(*header)) return STATUS_BUFFER_TOO_SMALL;
        r->information = sizeof(*header);
        if (header->RequestBufferLength > room || header->RequestBufferLength < sizeof(*header)) {
            header->UsbUserStatusCode = UsbUserInvalidHeaderParameter;
            header->ActualBufferLength = 0;
            return STATUS_SUCCESS;
        }
        if (header->UsbUserRequest == USBUSER_GET_CONTROLLER_INFO_0) {
            if (header->RequestBufferLength < sizeof(USBUSER_CONTROLLER_INFO_0)) {
                header->UsbUserStatusCode = UsbUserBufferTooSmall;
                header->ActualBufferLength = sizeof(USBUSER_CONTROLLER_INFO_0);
                return STATUS_SUCCESS;
            }
            fault = find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_CONTROLLER_INFO);
            if (fault && fault->status) {
                r->information = 0;
                return status_of(fault);
            }
            item = find_item(index, DESK_ITEM_CONTROLLER_INFO, 0);
            if (!item || item->length != sizeof(USB_CONTROLLER_INFO_0)) return STATUS_UNSUCCESSFUL;
            RtlCopyMemory(&((USBUSER_CONTROLLER_INFO_0 *)header)->Info0, item_bytes(item), item->length);
            r->information = sizeof(USBUSER_CONTROLLER_INFO_0);
        } else if (header->UsbUserRequest == USBUSER_GET_POWER_STATE_MAP) {
            USBUSER_POWER_INFO_REQUEST *power = (USBUSER_POWER_INFO_REQUEST *)header;
            uint32_t state;
            if (header->RequestBufferLength < sizeof(*power)) {
                header->UsbUserStatusCode = UsbUserBufferTooSmall;
                header->ActualBufferLength = sizeof(*power);
                return STATUS_SUCCESS;
            }
            state = power->PowerInformation.SystemState;
            item = find_item(index, DESK_ITEM_POWER_INFO, state);
            if (!item || item->length != sizeof(USB_POWER_INFO)) {
                header->UsbUserStatusCode = UsbUserInvalidParameter;
                header->ActualBufferLength = 0;
                return STATUS_SUCCESS;
            }
            fault = find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_KEY(DESK_FAULT_POWER_STATE, state));
            if (fault && fault->status) {
                r->information = 0;
                return status_of(fault);
            }
            RtlCopyMemory(&power->PowerInformation, item_bytes(item), item->length);
            power->PowerInformation.SystemState = state;
            r->information = sizeof(*power);
        } else {
            header->UsbUserStatusCode = UsbUserInvalidRequestCode;
            header->ActualBufferLength = 0;
            return STATUS_SUCCESS;
        }
        header->UsbUserStatusCode = UsbUserSuccess;
        header->ActualBufferLength = (ULONG)r->information;
        return STATUS_SUCCESS;
    }
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

/* The endpoints of alternate setting 0 of the first configuration, as the
 * hub lists the open pipes; every length in the bytes is checked. */
static uint32_t open_pipes(uint32_t index, USB_PIPE_INFO *pipes, uint32_t room) {
    const struct desk_item *item = find_item(index, DESK_ITEM_DESCRIPTOR, 2u << 24);
    const uint8_t *bytes;
    uint32_t at = 0, count = 0;
    BOOLEAN alternate_zero = TRUE;
    if (!item || nodes[index].node->configuration_value == 0) return 0;
    bytes = item_bytes(item);
    while (at + 2 <= item->length) {
        uint8_t length = bytes[at], type = bytes[at + 1];
        if (length < 2 || at + length > item->length) break;
        if (type == 4 && length >= 4) alternate_zero = bytes[at + 3] == 0;
        if (type == 5 && length >= 7 && alternate_zero) {
            if (count < room) {
                RtlCopyMemory(&pipes[count].EndpointDescriptor, bytes + at, 7);
                pipes[count].EndpointDescriptor.bLength = 7;
                pipes[count].ScheduleOffset = 0;
            }
            ++count;
        }
        at += length;
    }
    return count;
}

static NTSTATUS hub_request(uint32_t index, uint32_t code, struct request *r) {
    const struct desk_node *hub = nodes[index].node;
    const uint32_t fixed = FIELD_OFFSET(USB_NODE_CONNECTION_INFORMATION_EX, PipeList);
    int32_t child;
    uint32_t port;

    if (code == IOCTL_USB_GET_NODE_INFORMATION) {
        USB_NODE_INFORMATION *info = (USB_NODE_INFORMATION *)r->buffer;
        USB_HUB_DESCRIPTOR *d = &info->u.HubInformation.HubDescriptor;
        uint32_t ports = hub->port_count > 255 ? 255 : hub->port_count;
        const struct desk_fault *fault = find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_NODE_INFO);
        if (fault && fault->status) return status_of(fault);
        if (r->out_size < sizeof(*info)) return STATUS_BUFFER_TOO_SMALL;
        RtlZeroMemory(info, sizeof(*info));
        info->NodeType = UsbHub;
        d->bDescriptorLength = (hub->flags & DESK_FLAG_SUPER_SPEED_HUB) ? 12 : (UCHAR)(7 + 2 * (ports / 8 + 1));
        d->bDescriptorType = (hub->flags & DESK_FLAG_SUPER_SPEED_HUB) ? 0x2a : 0x29;
        d->bNumberOfPorts = (UCHAR)ports;
        d->wHubCharacteristics = 0x0009;
        d->bPowerOnToPowerGood = 50;
        d->bHubControlCurrent = 100;
        info->u.HubInformation.HubIsBusPowered = (hub->flags & DESK_FLAG_BUS_POWERED) ? TRUE : FALSE;
        r->information = sizeof(*info);
        return STATUS_SUCCESS;
    }
    if (r->in_size < sizeof(uint32_t)) return STATUS_BUFFER_TOO_SMALL;
    port = read_u32(r);
    if (port == 0 || port > hub->port_count) return STATUS_INVALID_PARAMETER;
    child = child_on_port(index, port);

    switch (code) {
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX: {
        USB_NODE_CONNECTION_INFORMATION_EX *info = (USB_NODE_CONNECTION_INFORMATION_EX *)r->buffer;
        uint32_t room, pipes = 0;
        const struct desk_fault *fault = find_fault(
            index, DESK_ITEM_FAULT,
            DESK_FAULT_KEY(code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX ? DESK_FAULT_CONNECTION_INFO_EX
                                                                                : DESK_FAULT_CONNECTION_INFO,
                           port));
        if (r->out_size < fixed) return STATUS_BUFFER_TOO_SMALL;
        if (fault && fault->status) return status_of(fault);
        room = (r->out_size - fixed) / sizeof(USB_PIPE_INFO);
        RtlZeroMemory(info, fixed);
        info->ConnectionIndex = port;
        info->ConnectionStatus = NoDeviceConnected;
        if (child >= 0) {
            const struct desk_node *d = nodes[child].node;
            RtlCopyMemory(&info->DeviceDescriptor, d->device_descriptor, sizeof(d->device_descriptor));
            info->Speed = code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX ? (UCHAR)d->speed : (d->speed == 0);
            info->DeviceIsHub = (d->flags & DESK_FLAG_HUB) ? TRUE : FALSE;
            info->DeviceAddress = (USHORT)d->address;
            info->ConnectionStatus = d->connection_status;
            if (d->connection_status == DeviceConnected) {
                info->CurrentConfigurationValue = (UCHAR)d->configuration_value;
                pipes = open_pipes((uint32_t)child, info->PipeList, room);
            }
        }
        info->NumberOfOpenPipes = pipes;
        r->information = fixed + (pipes < room ? pipes : room) * sizeof(USB_PIPE_INFO);
        return STATUS_SUCCESS;
    }
    case IOCTL_USB_GET_NODE_CONNECTION_NAME: {
        const WCHAR *name = L"";
        uint32_t length = 0;
        const struct desk_fault *fault = find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_KEY(DESK_FAULT_NODE_NAME, port));
        /* A port with a fault answers as the fault says, a device on it or not. */
        if (child < 0 && !(fault && fault->status)) return STATUS_DEVICE_NOT_CONNECTED;
        if (child >= 0 && (nodes[child].node->flags & DESK_FLAG_HUB)) hub_name((uint32_t)child, &name, &length);
        return answer_name(r, 8, name, length, fault);
    }
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME: {
        WCHAR key[256];
        uint32_t length;
        const struct desk_fault *fault = find_fault(index, DESK_ITEM_FAULT, DESK_FAULT_KEY(DESK_FAULT_DRIVER_KEY, port));
        if (fails(fault)) return status_of(fault);
        if (child < 0) return STATUS_DEVICE_NOT_CONNECTED;
        if (driver_key((uint32_t)child, key, 256, &length)) return STATUS_INVALID_PARAMETER;
        return answer_name(r, 8, key, length, fault);
    }
    case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: {
        USB_DESCRIPTOR_REQUEST *request = (USB_DESCRIPTOR_REQUEST *)r->buffer;
        const uint32_t header = FIELD_OFFSET(USB_DESCRIPTOR_REQUEST, Data);
        const uint8_t *bytes;
        uint32_t length, type, key;
        const struct desk_item *item;
        struct desk_fault *fault = NULL;
        if (r->in_size < header || r->out_size < header) return STATUS_BUFFER_TOO_SMALL;
        if (child < 0 || nodes[child].node->connection_status != DeviceConnected) return STATUS_DEVICE_NOT_CONNECTED;
        type = request->SetupPacket.wValue >> 8;
        key = type << 24 | (uint32_t)(request->SetupPacket.wValue & 0xff) << 16 |
              (type == 3 ? request->SetupPacket.wIndex : 0);
        item = find_item((uint32_t)child, DESK_ITEM_DESCRIPTOR, key);
        if (item) {
            bytes = item_bytes(item);
            length = item->length;
            fault = find_fault((uint32_t)child, DESK_ITEM_DESCRIPTOR_FAULT, key);
            if (fails(fault)) return status_of(fault);
            /* A descriptor that changes after its first read. */
            if (fault && InterlockedIncrement((LONG *)&fault->reads) > 1) {
                const struct desk_item *later = find_item((uint32_t)child, DESK_ITEM_DESCRIPTOR_LATER, key);
                if (later) {
                    bytes = item_bytes(later);
                    length = later->length;
                }
            }
        } else if (type == 1 && (request->SetupPacket.wValue & 0xff) == 0) {
            bytes = nodes[child].node->device_descriptor;
            length = sizeof(nodes[child].node->device_descriptor);
        } else {
            return STATUS_UNSUCCESSFUL; /* the device stalls */
        }
        /* The device sends at most wLength bytes, and the hub passes on what
         * the buffer behind the header holds. */
        if (length > request->SetupPacket.wLength) length = request->SetupPacket.wLength;
        if (length > r->out_size - header) length = r->out_size - header;
        RtlCopyMemory(request->Data, bytes, length);
        r->information = fault && (fault->flags & DESK_LIE_BYTES_RETURNED) ? fault->bytes_returned : header + length;
        return status_of(fault);
    }
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS load_machine(const uint8_t *data, uint32_t size) {
    struct desk_parsed *parsed;
    uint32_t count;
    uint8_t *copy;

    if (size > DESK_BLOB_MAX_SIZE || !(copy = ExAllocatePoolWithTag(NonPagedPool, size, DESK_POOL_TAG)))
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyMemory(copy, data, size);
    if (!parse_blob(copy, size, &parsed, &count)) {
        ExFreePoolWithTag(copy, DESK_POOL_TAG);
        return STATUS_INVALID_PARAMETER;
    }
    ExAcquireFastMutex(&desk_lock);
    if (blob) {
        ExReleaseFastMutex(&desk_lock);
        ExFreePoolWithTag(parsed, DESK_POOL_TAG);
        ExFreePoolWithTag(copy, DESK_POOL_TAG);
        return STATUS_DEVICE_BUSY; /* one machine per session */
    }
    node_devices = ExAllocatePoolWithTag(NonPagedPool, (count + 1) * sizeof(*node_devices), DESK_POOL_TAG);
    if (!node_devices) {
        ExReleaseFastMutex(&desk_lock);
        ExFreePoolWithTag(parsed, DESK_POOL_TAG);
        ExFreePoolWithTag(copy, DESK_POOL_TAG);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(node_devices, (count + 1) * sizeof(*node_devices));
    node_absent = ExAllocatePoolWithTag(NonPagedPool, count + 1, DESK_POOL_TAG);
    if (!node_absent) {
        ExFreePoolWithTag(node_devices, DESK_POOL_TAG);
        node_devices = NULL;
        ExReleaseFastMutex(&desk_lock);
        ExFreePoolWithTag(parsed, DESK_POOL_TAG);
        ExFreePoolWithTag(copy, DESK_POOL_TAG);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(node_absent, count + 1);
    blob = copy;
    nodes = parsed;
    node_count = count;
    ExReleaseFastMutex(&desk_lock);
    IoInvalidateDeviceRelations(bus_pdo, BusRelations);
    return STATUS_SUCCESS;
}

/* Plugs a device in or pulls it out, then tells plug and play that its
 * hub's ports changed. */
static NTSTATUS plug(const uint8_t *data, uint32_t size) {
    const struct desk_plug *request = (const struct desk_plug *)data;
    int32_t at = -1;
    uint32_t i, seen = 0;
    DEVICE_OBJECT *hub;

    if (size < sizeof(*request) || request->depth == 0 || request->depth > DESK_MAX_PORT_DEPTH || !blob)
        return STATUS_INVALID_PARAMETER;
    for (i = 0; i < node_count && at < 0; ++i)
        if (nodes[i].node->kind == DESK_CONTROLLER && seen++ == request->controller) at = child_of_kind(i, DESK_ROOT_HUB);
    for (i = 0; i < request->depth && at >= 0; ++i) {
        uint32_t j;
        int32_t found = -1;
        for (j = (uint32_t)at + 1; j < node_count && found < 0; ++j)
            if (nodes[j].node->parent == at && nodes[j].node->port == request->ports[i]) found = (int32_t)j;
        at = found;
    }
    if (at < 0) return STATUS_NO_SUCH_DEVICE;
    ExAcquireFastMutex(&desk_lock);
    node_absent[at] = request->present ? FALSE : TRUE;
    hub = node_devices[nodes[at].node->parent];
    ExReleaseFastMutex(&desk_lock);
    if (hub) IoInvalidateDeviceRelations(hub, BusRelations);
    return STATUS_SUCCESS;
}

/* A device tells which node it is, while it and the hubs above it are
 * plugged in. */
static NTSTATUS which_node(uint32_t index, struct request *r) {
    BOOLEAN absent = FALSE;
    int32_t at;
    ExAcquireFastMutex(&desk_lock);
    for (at = (int32_t)index; at >= 0 && !absent; at = nodes[at].node->parent) absent = node_absent[at];
    ExReleaseFastMutex(&desk_lock);
    if (absent) return STATUS_NO_SUCH_DEVICE;
    if (r->out_size < sizeof(uint32_t)) return STATUS_BUFFER_TOO_SMALL;
    *(uint32_t *)r->buffer = index;
    r->information = sizeof(uint32_t);
    return STATUS_SUCCESS;
}

static NTSTATUS WINAPI dispatch_ioctl(DEVICE_OBJECT *device, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    struct desk_ext *ext = device->DeviceExtension;
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    struct request r = {irp->AssociatedIrp.SystemBuffer, stack->Parameters.DeviceIoControl.InputBufferLength,
                        stack->Parameters.DeviceIoControl.OutputBufferLength, 0};
    NTSTATUS status;

    if (ext->is_fdo)
        status = code == DESK_IOCTL_LOAD   ? load_machine(r.buffer, r.in_size)
                 : code == DESK_IOCTL_PLUG ? plug(r.buffer, r.in_size)
                                           : STATUS_INVALID_DEVICE_REQUEST;
    else if (nodes[ext->node].node->kind == DESK_CONTROLLER)
        status = controller_request(ext->node, code, &r);
    else if (is_hub(ext->node))
        status = hub_request(ext->node, code, &r);
    else if (code == DESK_IOCTL_WHICH_NODE)
        status = which_node(ext->node, &r);
    else
        status = STATUS_INVALID_DEVICE_REQUEST;
    /* The output of any status that is no error goes back; a count beyond
     * the request's buffer is cut to it, since the I/O manager copies that
     * many bytes out of the buffer. */
    if (r.information > r.in_size && r.information > r.out_size)
        r.information = r.in_size > r.out_size ? r.in_size : r.out_size;
    irp->IoStatus.Information = NT_ERROR(status) ? 0 : r.information;
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* The HID function of a device node, for the HID minidriver above it. */
static NTSTATUS WINAPI dispatch_internal_ioctl(DEVICE_OBJECT *device, IRP *irp) {
    IO_STACK_LOCATION *stack = IoGetCurrentIrpStackLocation(irp);
    struct desk_ext *ext = device->DeviceExtension;
    struct desk_hid_info *info = irp->UserBuffer;
    const struct desk_item *item;
    NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
    uint32_t i;

    irp->IoStatus.Information = 0;
    if (!ext->is_fdo && stack->Parameters.DeviceIoControl.IoControlCode == DESK_INTERNAL_GET_HID) {
        item = find_item(ext->node, DESK_ITEM_HID, 0);
        if (!item || item->length != sizeof(info->hid) || !info ||
            stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(*info)) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            RtlZeroMemory(info, sizeof(*info));
            RtlCopyMemory(&info->hid, item_bytes(item), sizeof(info->hid));
            for (i = 0; i < 3; ++i) {
                const struct desk_item *text = find_item(ext->node, DESK_ITEM_HID_STRING, i + 1);
                if (!text) continue;
                info->has_string[i] = 1;
                RtlCopyMemory(info->strings[i], item_bytes(text),
                              text->length < DESK_HID_STRING_CHARS * 2 ? text->length : DESK_HID_STRING_CHARS * 2);
            }
            item = find_item(ext->node, DESK_ITEM_HID_REPORT_DESCRIPTOR, 0);
            if (item && item->length <= DESK_HID_DESCRIPTOR_MAX) {
                RtlCopyMemory(info->report_descriptor, item_bytes(item), item->length);
                info->report_descriptor_length = item->length;
            }
            irp->IoStatus.Information = sizeof(*info);
            status = STATUS_SUCCESS;
        }
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* Opening a node fails when the bench says so; closing always succeeds. */
static NTSTATUS WINAPI dispatch_create_close(DEVICE_OBJECT *device, IRP *irp) {
    struct desk_ext *ext = device->DeviceExtension;
    NTSTATUS status = STATUS_SUCCESS;
    if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CREATE && !ext->is_fdo) {
        const struct desk_fault *fault = find_fault(ext->node, DESK_ITEM_FAULT, DESK_FAULT_OPEN);
        if (fails(fault)) status = status_of(fault);
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS WINAPI add_device(DRIVER_OBJECT *driver, DEVICE_OBJECT *pdo) {
    struct desk_ext *ext;
    NTSTATUS status;
    if (bus_fdo) return STATUS_DEVICE_BUSY; /* one bus */
    if ((status = IoCreateDevice(driver, sizeof(*ext), NULL, FILE_DEVICE_BUS_EXTENDER, 0, FALSE, &bus_fdo)))
        return status;
    ext = bus_fdo->DeviceExtension;
    RtlZeroMemory(ext, sizeof(*ext));
    ext->is_fdo = TRUE;
    if ((status = IoRegisterDeviceInterface(pdo, &desk_control_class, NULL, &control_link))) {
        IoDeleteDevice(bus_fdo);
        bus_fdo = NULL;
        return status;
    }
    bus_pdo = pdo;
    IoAttachDeviceToDeviceStack(bus_fdo, pdo);
    bus_fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void WINAPI unload(DRIVER_OBJECT *driver) {
    (void)driver;
    if (nodes) ExFreePoolWithTag(nodes, DESK_POOL_TAG);
    if (node_devices) ExFreePoolWithTag(node_devices, DESK_POOL_TAG);
    if (node_absent) ExFreePoolWithTag(node_absent, DESK_POOL_TAG);
    if (blob) ExFreePoolWithTag(blob, DESK_POOL_TAG);
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *registry) {
    (void)registry;
    desk_driver = driver;
    ExInitializeFastMutex(&desk_lock);
    driver->DriverExtension->AddDevice = add_device;
    driver->MajorFunction[IRP_MJ_PNP] = dispatch_pnp;
    driver->MajorFunction[IRP_MJ_POWER] = dispatch_power;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_ioctl;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = dispatch_internal_ioctl;
    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_create_close;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}
