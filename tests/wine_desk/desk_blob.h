/* The simulated machine as the Wine desk's bus driver takes it: one flat,
 * versioned blob that the user-mode loader writes from a bench and hands
 * over in one request. Every size in it is checked by the driver before
 * anything is used: a blob is data from user mode.
 *
 * Layout: a header, then node_count nodes one after another. A node is a
 * fixed part followed by items, each an item header and its bytes, padded
 * to a multiple of 4. A node's parent comes before it. */
#ifndef TAMBERLYX_DESK_BLOB_H
#define TAMBERLYX_DESK_BLOB_H

#include <stdint.h>

#define DESK_BLOB_MAGIC 0x4b534544u /* "DESK" */
#define DESK_BLOB_VERSION 2u
#define DESK_BLOB_MAX_SIZE (16u << 20)
#define DESK_MAX_NODES 4096u

/* The bus's control interface, {6f0f2a4c-4e0b-4d3c-9a55-2d3b7c1e8a01}, and
 * its one request: load a machine (input: the blob). */
#define DESK_CONTROL_GUID_INIT {0x6f0f2a4c, 0x4e0b, 0x4d3c, {0x9a, 0x55, 0x2d, 0x3b, 0x7c, 0x1e, 0x8a, 0x01}}
/* CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x801, METHOD_BUFFERED, FILE_WRITE_ACCESS) */
#define DESK_IOCTL_LOAD ((0x2aU << 16) | (2U << 14) | (0x801U << 2) | 0U)

/* Plugs a device in or pulls it out while the machine runs: CTL_CODE(
 * FILE_DEVICE_BUS_EXTENDER, 0x803, METHOD_BUFFERED, FILE_WRITE_ACCESS),
 * input a desk_plug. The device is named by its port path: the controller's
 * index among the controllers, then the ports from its root hub down. */
#define DESK_IOCTL_PLUG ((0x2aU << 16) | (2U << 14) | (0x803U << 2) | 0U)
#define DESK_MAX_PORT_DEPTH 7

struct desk_plug {
    uint32_t controller;
    uint32_t depth; /* ports used, 1 to DESK_MAX_PORT_DEPTH */
    uint32_t ports[DESK_MAX_PORT_DEPTH];
    uint32_t present; /* 1 plugs in, 0 pulls out */
};

/* Which node a device's handle reaches, asked of the device itself through
 * any handle opened on it: CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x804,
 * METHOD_BUFFERED, FILE_ANY_ACCESS), output a uint32_t, the node's index in
 * the blob. It fails (STATUS_NO_SUCH_DEVICE) once the device is pulled out:
 * the test-only winusb.dll learns both from it. */
#define DESK_IOCTL_WHICH_NODE ((0x2aU << 16) | (0U << 14) | (0x804U << 2) | 0U)

enum desk_node_kind {
    DESK_CONTROLLER = 1, /* a host controller; its one child is its root hub */
    DESK_ROOT_HUB = 2,
    DESK_DEVICE = 3      /* a device on a port; DESK_FLAG_HUB: an external hub */
};

enum desk_node_flags {
    DESK_FLAG_HUB = 1u << 0,
    DESK_FLAG_BUS_POWERED = 1u << 1,
    DESK_FLAG_SUPER_SPEED_HUB = 1u << 2,  /* a USB 3 hub descriptor */
    DESK_FLAG_FIXED_CLASS = 1u << 3,      /* also exposes the fixed-class interface */
    DESK_FLAG_NO_SERVICE = 1u << 4        /* no function driver: started raw */
};

struct desk_blob_header {
    uint32_t magic;
    uint32_t version;
    uint32_t total_size; /* header included */
    uint32_t node_count;
};

struct desk_node {
    uint32_t size; /* the fixed part and its items, a multiple of 4 */
    uint32_t kind;
    int32_t parent; /* node index; -1 for a controller */
    uint32_t port;  /* a device's port on its parent hub, from 1 */
    uint32_t flags;
    uint32_t port_count; /* a hub's bNumberOfPorts */
    uint32_t speed;      /* USB_DEVICE_SPEED: 0 low, 1 full, 2 high, 3 super */
    uint32_t address;
    uint32_t connection_status; /* USB_CONNECTION_STATUS of its port */
    uint32_t configuration_value;
    uint8_t device_descriptor[18];
    uint8_t reserved[2];
};

enum desk_item_type {
    DESK_ITEM_DEVICE_ID = 1,      /* UTF-16 text with its terminator */
    DESK_ITEM_INSTANCE_ID = 2,    /* UTF-16 text with its terminator */
    DESK_ITEM_HARDWARE_IDS = 3,   /* UTF-16 texts, each ended, then an empty one */
    DESK_ITEM_COMPATIBLE_IDS = 4, /* likewise */
    DESK_ITEM_DESCRIPTOR = 5,     /* key: type << 24 | index << 16 | language */
    DESK_ITEM_CONTROLLER_INFO = 6,/* a USB_CONTROLLER_INFO_0 */
    DESK_ITEM_POWER_INFO = 7,     /* key: the system state; a USB_POWER_INFO */
    DESK_ITEM_HID = 8,            /* the device's HID function: a desk_hid */
    DESK_ITEM_HID_STRING = 9,     /* key 1 manufacturer, 2 product, 3 serial number: UTF-16 */
    DESK_ITEM_HID_REPORT_DESCRIPTOR = 10,
    DESK_ITEM_FAULT = 11,            /* key: a desk_fault_key, its port or state in bits 8..15: a desk_fault */
    DESK_ITEM_DESCRIPTOR_FAULT = 12, /* key: as DESK_ITEM_DESCRIPTOR: a desk_fault */
    DESK_ITEM_DESCRIPTOR_LATER = 13  /* key: as DESK_ITEM_DESCRIPTOR: the bytes every read after the first sends */
};

/* What makes one answer fail or lie. status is the NTSTATUS the request
 * completes with: 0 answers as usual; a warning (STATUS_BUFFER_OVERFLOW)
 * still writes the answer; an error writes nothing. The lies replace what
 * a complete answer reports. */
enum desk_fault_flags {
    DESK_LIE_ACTUAL_LENGTH = 1u << 0,
    DESK_LIE_BYTES_RETURNED = 1u << 1
};

struct desk_fault {
    uint32_t status;
    uint32_t flags;
    uint32_t actual_length;  /* DESK_LIE_ACTUAL_LENGTH: the ActualLength a name answer reports */
    uint32_t bytes_returned; /* DESK_LIE_BYTES_RETURNED: the byte count of a complete answer */
    uint32_t reads;          /* kept by the driver: how often a descriptor was read */
};

/* Which answer a DESK_ITEM_FAULT is about. Controllers: OPEN, DRIVER_KEY,
 * ROOT_HUB_NAME, CONTROLLER_INFO, POWER_STATE (the system state in bits
 * 8..15). Hubs (a root hub or a hub device): OPEN, NODE_INFO, and per port
 * (the port in bits 8..15) CONNECTION_INFO_EX, CONNECTION_INFO, DRIVER_KEY,
 * NODE_NAME. Other devices: OPEN. */
enum desk_fault_key {
    DESK_FAULT_OPEN = 1,
    DESK_FAULT_DRIVER_KEY = 2,
    DESK_FAULT_ROOT_HUB_NAME = 3,
    DESK_FAULT_CONTROLLER_INFO = 4,
    DESK_FAULT_POWER_STATE = 5,
    DESK_FAULT_NODE_INFO = 6,
    DESK_FAULT_CONNECTION_INFO_EX = 7,
    DESK_FAULT_CONNECTION_INFO = 8,
    DESK_FAULT_NODE_NAME = 9
};
#define DESK_FAULT_KEY(kind, port_or_state) ((uint32_t)(kind) | ((uint32_t)(port_or_state) & 0xffu) << 8)

enum desk_hid_behaviour { DESK_HID_ECHO = 0, DESK_HID_SILENT = 1 };

struct desk_hid {
    uint16_t vendor_id, product_id, version_number, behaviour;
    uint32_t input_length, output_length, feature_length; /* report lengths, report id byte included */
};

/* What the HID minidriver asks the bus for, an internal request to the
 * device's own node: CTL_CODE(FILE_DEVICE_BUS_EXTENDER, 0x802,
 * METHOD_NEITHER, FILE_ANY_ACCESS), the answer written to the IRP's user
 * buffer. */
#define DESK_INTERNAL_GET_HID ((0x2aU << 16) | (0U << 14) | (0x802U << 2) | 3U)
#define DESK_HID_STRING_CHARS 127
#define DESK_HID_DESCRIPTOR_MAX 512

struct desk_hid_info {
    struct desk_hid hid;
    uint32_t has_string[3];
    uint16_t strings[3][DESK_HID_STRING_CHARS + 1]; /* each ended */
    uint32_t report_descriptor_length;
    uint8_t report_descriptor[DESK_HID_DESCRIPTOR_MAX];
};

struct desk_item {
    uint32_t type;
    uint32_t key;
    uint32_t length; /* of the bytes that follow, before padding */
};

#endif
