// Opening, closing and resetting a listed device.
#include "access/operation_result.h"
#include "access/winusb_entry.h"
#include "base/status_code.h"

int32_t DeviceEntry::open() {
    if (isOpen == 1) return finishOperation(*this, AlreadyOpen);
    if (!openFile()) {
        // A null handle is not one to keep either.
        fileHandle = platform::invalidHandle();
        return finishOperation(*this, OpenFailed);
    }
    if (isHid == 1) {
        isOpen = 1;
        return finishOperation(*this, Success);
    }

    platform::WinUsbInitializeFn initialize = usableEntryPoint(winUsbApi.initialize);
    void* interfaceHandle = nullptr;
    if (initialize == nullptr) {
        lastError = kMissingEntryPointError;
    } else if (initialize(fileHandle, &interfaceHandle) != 0) {
        winUsbHandle = interfaceHandle;
        isOpen = 1;
        lastError = 0;
        return finishOperation(*this, Success);
    } else {
        recordSystemError(*this);
    }
    // The file opened for the attempt is of no further use, and nothing
    // else would ever close it.
    winUsbHandle = nullptr;
    closeFile();
    return finishOperation(*this, WinUsbInitFailed);
}

int32_t DeviceEntry::close() {
    if (isOpen != 1) return finishOperation(*this, NotOpen);
    if (isHid != 1 && winUsbHandle != nullptr) {
        // The interface handle goes before the file it was made from.
        if (platform::WinUsbFreeFn release = usableEntryPoint(winUsbApi.free)) release(winUsbHandle);
    }
    winUsbHandle = nullptr;
    isOpen = 0;
    closeFile();
    return finishOperation(*this, Success);
}

int32_t DeviceEntry::reset() { return finishOperation(*this, isOpen == 1 ? Success : NotOpen); }
