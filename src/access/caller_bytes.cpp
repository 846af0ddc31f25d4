#include "access/caller_bytes.h"

bool arrayHolds(const uint8_t* data, int32_t dataLength, int64_t needed) {
    return data != nullptr && dataLength >= 0 && needed >= 0 && needed <= dataLength;
}

bool controlTransferFits(int32_t length, const uint8_t* data, int32_t dataLength) {
    return length >= 0 && arrayHolds(data, dataLength, int64_t{kSetupPacketBytes} + length);
}

bool bulkTransferFits(int32_t length, const uint8_t* data, int32_t dataLength) {
    return length >= 0 && arrayHolds(data, dataLength, length);
}

bool reportTransferFits(int32_t length, const uint8_t* data, int32_t dataLength) {
    return length >= 0 && length <= kReportDataBytes && arrayHolds(data, dataLength, kReportDataBytes);
}
