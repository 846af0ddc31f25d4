// Interrupt transfers of a HID device: one 65-byte report (report id 0 and
// 64 data bytes) written or read with overlapped I/O, bounded by a time-out.
//
// The report buffer, the overlapped record and its event belong to the
// request until it has ended. A pending request that is cancelled is
// therefore waited for before any of them is given up: CancelIo only asks.
// Only a request the system reported as pending is ever waited for: one
// that failed at once has ended, and the system neither signals its event
// nor writes its overlapped record, so a wait for it would never return.
#include <algorithm>
#include <cstring>

#include "access/caller_bytes.h"
#include "access/operation_result.h"
#include "base/status_code.h"
#include "platform/files.h"
#include "platform/usb_requests.h"

namespace {

constexpr size_t kReportBufferBytes = kReportDataBytes + 1;

// The count the system reports, never more than the report it was given.
int32_t reportCount(uint32_t count, uint32_t bytes) { return static_cast<int32_t>(std::min(count, bytes)); }

// Cancels the request and waits until it has ended, one way or another.
void cancelAndAwait(platform::Handle file, platform::Overlapped* overlapped) {
    platform::CancelIo(file);
    uint32_t ignored = 0;
    platform::GetOverlappedResult(file, overlapped, &ignored, true);
}

// Waits for a pending request: its count, TimedOut, or the failure value.
int32_t awaitPendingReport(DeviceEntry& entry, platform::Overlapped* overlapped, uint32_t bytes,
                           uint32_t timeout, int32_t failure) {
    platform::Handle file = entry.fileHandle;
    uint32_t waited = platform::WaitForSingleObject(overlapped->hEvent, timeout);
    if (waited == platform::kWaitObject0) {
        uint32_t count = 0;
        if (platform::GetOverlappedResult(file, overlapped, &count, false)) {
            entry.lastError = 0;
            return reportCount(count, bytes);
        }
        recordSystemError(entry);
        // Signalled but not ended: the request still owns the buffers.
        if (entry.lastError == platform::kErrorIoIncomplete) cancelAndAwait(file, overlapped);
        return failure;
    }
    if (waited == platform::kWaitTimeout) {
        cancelAndAwait(file, overlapped);
        return TimedOut;  // lastError keeps ERROR_IO_PENDING
    }
    if (waited == platform::kWaitFailed) recordSystemError(entry);
    cancelAndAwait(file, overlapped);
    return failure;
}

// Issues one report transfer of `bytes` bytes on the entry's file and sees
// it to its end.
int32_t transferReport(DeviceEntry& entry, bool read, uint8_t* report, uint32_t bytes, uint32_t timeout,
                       int32_t failure) {
    platform::Handle event = platform::CreateEventW(nullptr, true, false, nullptr);
    if (event == nullptr) {
        recordSystemError(entry);
        return failure;
    }
    platform::Overlapped overlapped{};
    overlapped.hEvent = event;
    uint32_t count = 0;
    bool done = read ? platform::ReadFile(entry.fileHandle, report, bytes, &count, &overlapped)
                     : platform::WriteFile(entry.fileHandle, report, bytes, &count, &overlapped);
    int32_t result = failure;
    if (done) {
        result = reportCount(count, bytes);
    } else {
        recordSystemError(entry);
        if (entry.lastError == platform::kErrorIoPending)
            result = awaitPendingReport(entry, &overlapped, bytes, timeout, failure);
        else if (entry.lastError != platform::kErrorHandleEof)
            platform::CancelIo(entry.fileHandle);  // nothing of this request is left to wait for
    }
    platform::CloseHandle(event);
    return result;
}

}  // namespace

int32_t DeviceEntry::writeInterruptPipe(int32_t, int32_t length, int32_t timeout, uint8_t* data,
                                        int32_t dataLength) {
    if (isOpen != 1) return finishOperation(*this, NotOpen);
    if (!reportTransferFits(length, data, dataLength)) return finishOperation(*this, TransferFailed);
    uint8_t report[kReportBufferBytes];
    report[0] = 0;  // report id
    std::memcpy(report + 1, data, kReportDataBytes);
    int32_t result = transferReport(*this, false, report, static_cast<uint32_t>(length) + 1,
                                    static_cast<uint32_t>(timeout), TransferFailed);
    return finishOperation(*this, result);
}

int32_t DeviceEntry::readInterruptPipe(int32_t, int32_t length, int32_t timeout, uint8_t* data,
                                       int32_t dataLength) {
    if (isOpen != 1) return finishOperation(*this, NotOpen);
    if (!reportTransferFits(length, data, dataLength)) return finishOperation(*this, ReadFailed);
    // Cleared first, so that bytes the device did not send read as zero.
    uint8_t report[kReportBufferBytes] = {};
    int32_t result = transferReport(*this, true, report, static_cast<uint32_t>(length) + 1,
                                    static_cast<uint32_t>(timeout), ReadFailed);
    if (result >= 0) std::memcpy(data, report + 1, kReportDataBytes);
    return finishOperation(*this, result);
}
