// The record that describes one attached USB device: made by the topology
// walk, copied into a device list, read by the description records and
// driven by device access.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DeviceEntry {
    int32_t index;                 // position in its list's chain, from 0
    char* devicePath;              // owned; the path opened for a WinUSB device
    char* hidPath;                 // owned; the path opened for a HID device
    int32_t isOpen;                // 1 while the device is open
    int32_t stateA;                // 1 from the moment the walk makes the entry
    int32_t stateB;                // 1; set again when a change is reported
    int32_t present;               // 1 when the latest walk found the device
    int32_t reportedPresent;       // the value of present last reported as a change
    platform::Handle fileHandle;   // the open device's file; invalid (-1) while closed
    void* winUsbHandle;            // WinUSB interface handle of an open WinUSB device
    int32_t isHid;                 // 1 when driven through HID reports
    int32_t lastResult;            // result of the last device operation
    uint32_t lastError;            // system error the last operation recorded
    uint16_t vendorId;
    uint16_t productId;
    uint16_t bcdDevice;
    char* manufacturerDescription;  // owned; "?" when the device has none
    char* deviceDescription;        // owned; "?" when the device has none
    char* serialNumber;             // owned; "?" when the device has none or it is empty
    int32_t sequenceNumber;         // running number the walk drew for the entry
    int32_t driverSupported;        // 1 when the driver service is WinUSB or HID
    platform::UsbDeviceDescriptor deviceDescriptor;  // byte for byte as the hub reported it
    DeviceEntry* next;              // next entry of the same chain
    void* owner;                    // the list or walk result whose chain holds the entry

    // Copies a walked entry into a new zero-filled list entry: every text a
    // copy of its own ("?" for a missing description text); index, next and
    // owner are left to the caller.
    static void copyFrom(const DeviceEntry* source, DeviceEntry* destination);

    // Device access: each stores its result in lastResult and returns it.
    // data and dataLength are the caller's array and its size in bytes (null
    // and 0 for no array); an operation never reads or writes past them.
    int32_t open();
    int32_t close();
    int32_t reset();
    int32_t writeControlPipe(int32_t length, int32_t unused, uint8_t* data, int32_t dataLength);
    int32_t readControlPipe(int32_t length, int32_t unused, uint8_t* data, int32_t dataLength);
    int32_t writeBulkPipe(int32_t pipe, int32_t length, int32_t timeout, uint8_t* data, int32_t dataLength);
    int32_t readBulkPipe(int32_t pipe, int32_t length, int32_t timeout, uint8_t* data, int32_t dataLength);
    int32_t writeInterruptPipe(int32_t pipe, int32_t length, int32_t timeout, uint8_t* data, int32_t dataLength);
    int32_t readInterruptPipe(int32_t pipe, int32_t length, int32_t timeout, uint8_t* data, int32_t dataLength);
    int32_t cancelPipeTransfer(int32_t pipe);
    int32_t getDescriptor(uint8_t* data, int32_t dataLength, int32_t descriptorType, int32_t stringKind,
                          int32_t length);

    // Opens the path that fits the device kind (hidPath for HID, devicePath
    // otherwise) exclusively for overlapped I/O; true when fileHandle is valid.
    bool openFile();
    // Closes fileHandle if it is valid and marks it invalid.
    void closeFile();
};

// True when every text the source holds reached the copy (a copy can come
// back without a text when its allocation failed).
bool copyIsComplete(const DeviceEntry& source, const DeviceEntry& copy);

// Frees an entry made by the walk or a list: its five texts (C-runtime
// allocations), then the entry itself (process heap); the reference is
// cleared. Open handles are not closed here.
void releaseDeviceEntry(DeviceEntry*& entry);
