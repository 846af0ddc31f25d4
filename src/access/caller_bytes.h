// What the caller's array must hold for each device operation. The lengths
// come from the caller and are checked before any byte is touched, so that
// no operation reads or writes past the array or the 65-byte HID report.
#pragma once

#include <cstdint>

// Data bytes of one HID report, after its report-id byte.
constexpr int32_t kReportDataBytes = 64;
// Bytes of the WinUSB setup packet at the front of a control transfer's array.
constexpr int32_t kSetupPacketBytes = 8;
// Bytes of a standard USB device descriptor.
constexpr int32_t kDeviceDescriptorBytes = 18;

// An array that exists and holds at least `needed` bytes.
bool arrayHolds(const uint8_t* data, int32_t dataLength, int64_t needed);

// The setup packet and a data stage of `length` bytes.
bool controlTransferFits(int32_t length, const uint8_t* data, int32_t dataLength);
// `length` bytes to send or receive.
bool bulkTransferFits(int32_t length, const uint8_t* data, int32_t dataLength);
// The 64 report bytes, with a length (report id not counted) of at most 64.
bool reportTransferFits(int32_t length, const uint8_t* data, int32_t dataLength);
