// Control and bulk transfers and pipe aborts on a WinUSB device. Every call
// into WinUSB is synchronous; a bulk transfer is bounded by the pipe time-out
// set just before it, and is refused when that time-out cannot be set.
#include <algorithm>
#include <cstring>

#include "access/caller_bytes.h"
#include "access/operation_result.h"
#include "access/winusb_entry.h"
#include "base/status_code.h"

namespace {

constexpr uint8_t kInPipeBit = 0x80;

uint8_t pipeId(int32_t pipe) { return static_cast<uint8_t>(pipe & 0xFF); }

// The count WinUSB reports, never more than was asked for.
int32_t countTransferred(uint32_t transferred, int32_t length) {
    return static_cast<int32_t>(std::min<uint32_t>(transferred, static_cast<uint32_t>(length)));
}

int32_t controlTransfer(DeviceEntry& entry, int32_t length, uint8_t* data, int32_t dataLength, int32_t failure) {
    if (entry.isOpen != 1) return finishOperation(entry, NotOpen);
    if (!controlTransferFits(length, data, dataLength)) return finishOperation(entry, failure);
    platform::WinUsbControlTransferFn transfer = usableEntryPoint(winUsbApi.controlTransfer);
    if (transfer == nullptr) {
        entry.lastError = kMissingEntryPointError;
        return finishOperation(entry, failure);
    }
    // The setup packet goes to the device as the caller wrote it; its
    // direction decides whether the data stage is sent or received.
    platform::WinUsbSetupPacket setup;
    std::memcpy(&setup, data, sizeof setup);
    uint32_t transferred = 0;
    if (transfer(entry.winUsbHandle, setup, data + kSetupPacketBytes, static_cast<uint32_t>(length), &transferred,
                 nullptr) == 0) {
        recordSystemError(entry);
        return finishOperation(entry, failure);
    }
    return finishOperation(entry, countTransferred(transferred, length));
}

int32_t bulkTransfer(DeviceEntry& entry, bool read, int32_t pipe, int32_t length, int32_t timeout, uint8_t* data,
                     int32_t dataLength) {
    if (entry.isOpen != 1) return finishOperation(entry, NotOpen);
    if (!bulkTransferFits(length, data, dataLength)) return finishOperation(entry, TransferFailed);
    // The caller names the endpoint number; a read addresses its IN pipe.
    uint8_t id = read ? static_cast<uint8_t>(pipeId(pipe) | kInPipeBit) : pipeId(pipe);
    platform::WinUsbReadPipeFn transfer = usableEntryPoint(read ? winUsbApi.readPipe : winUsbApi.writePipe);
    // Without the pipe policy the caller's time-out cannot be set, and a
    // transfer on a silent pipe would never return: none is started.
    platform::WinUsbSetPipePolicyFn setPolicy = usableEntryPoint(winUsbApi.setPipePolicy);
    if (transfer == nullptr || setPolicy == nullptr) {
        entry.lastError = kMissingEntryPointError;
        return finishOperation(entry, TransferFailed);
    }
    uint32_t milliseconds = static_cast<uint32_t>(timeout);
    setPolicy(entry.winUsbHandle, id, platform::kPipeTransferTimeout, sizeof milliseconds, &milliseconds);
    uint32_t transferred = 0;
    if (transfer(entry.winUsbHandle, id, data, static_cast<uint32_t>(length), &transferred, nullptr) == 0) {
        recordSystemError(entry);
        return finishOperation(entry, TransferFailed);
    }
    return finishOperation(entry, countTransferred(transferred, length));
}

}  // namespace

int32_t DeviceEntry::writeControlPipe(int32_t length, int32_t, uint8_t* data, int32_t dataLength) {
    return controlTransfer(*this, length, data, dataLength, TransferFailed);
}

int32_t DeviceEntry::readControlPipe(int32_t length, int32_t, uint8_t* data, int32_t dataLength) {
    return controlTransfer(*this, length, data, dataLength, ReadFailed);
}

int32_t DeviceEntry::writeBulkPipe(int32_t pipe, int32_t length, int32_t timeout, uint8_t* data,
                                   int32_t dataLength) {
    return bulkTransfer(*this, false, pipe, length, timeout, data, dataLength);
}

int32_t DeviceEntry::readBulkPipe(int32_t pipe, int32_t length, int32_t timeout, uint8_t* data,
                                  int32_t dataLength) {
    return bulkTransfer(*this, true, pipe, length, timeout, data, dataLength);
}

int32_t DeviceEntry::cancelPipeTransfer(int32_t pipe) {
    if (isOpen != 1) return finishOperation(*this, NotOpen);
    // A HID device has no pipes of its own to abort.
    if (isHid == 1) return finishOperation(*this, Success);
    platform::WinUsbAbortPipeFn abort = usableEntryPoint(winUsbApi.abortPipe);
    if (abort == nullptr) {
        lastError = kMissingEntryPointError;
        return finishOperation(*this, AbortFailed);
    }
    // The caller names the full endpoint address: no bit is added.
    if (abort(winUsbHandle, pipeId(pipe)) == 0) {
        recordSystemError(*this);
        return finishOperation(*this, AbortFailed);
    }
    return finishOperation(*this, Success);
}
