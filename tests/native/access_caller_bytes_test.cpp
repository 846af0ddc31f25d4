// Every operation that takes the caller's array refuses a null array, a
// negative length and an array shorter than it needs before it touches the
// device or the array; a closed entry answers NotOpen first.
#include "access_fixture.h"

#include <functional>

using namespace testsupport;

namespace {

using CallerBytes = DeviceAccessTest;

using Operation = std::function<int32_t(DeviceEntry&, uint8_t* data, int32_t dataLength)>;

struct Refusal {
    const char* what;
    bool hid;          // run on the HID device, else on the WinUSB device
    int32_t dataLength;  // what the caller's array is said to hold (its real size is larger)
    bool nullArray;
    Operation operation;
    int32_t expected;
};

std::vector<Refusal> refusals() {
    auto controlWrite = [](int32_t length) {
        return [length](DeviceEntry& e, uint8_t* d, int32_t n) { return e.writeControlPipe(length, 0, d, n); };
    };
    auto controlRead = [](int32_t length) {
        return [length](DeviceEntry& e, uint8_t* d, int32_t n) { return e.readControlPipe(length, 0, d, n); };
    };
    auto bulkWrite = [](int32_t length) {
        return [length](DeviceEntry& e, uint8_t* d, int32_t n) { return e.writeBulkPipe(1, length, 100, d, n); };
    };
    auto bulkRead = [](int32_t length) {
        return [length](DeviceEntry& e, uint8_t* d, int32_t n) { return e.readBulkPipe(1, length, 100, d, n); };
    };
    auto reportWrite = [](int32_t length) {
        return [length](DeviceEntry& e, uint8_t* d, int32_t n) { return e.writeInterruptPipe(0, length, 100, d, n); };
    };
    auto reportRead = [](int32_t length) {
        return [length](DeviceEntry& e, uint8_t* d, int32_t n) { return e.readInterruptPipe(0, length, 100, d, n); };
    };
    auto descriptor = [](int32_t type, int32_t kind, int32_t length) {
        return [=](DeviceEntry& e, uint8_t* d, int32_t n) { return e.getDescriptor(d, n, type, kind, length); };
    };
    return {
        {"control write, null array", false, 64, true, controlWrite(4), TransferFailed},
        {"control write, no room for the setup packet", false, 7, false, controlWrite(0), TransferFailed},
        {"control write, data stage past the array", false, 12, false, controlWrite(5), TransferFailed},
        {"control write, negative length", false, 64, false, controlWrite(-1), TransferFailed},
        {"control write, length that overflows", false, 64, false, controlWrite(0x7FFFFFFF), TransferFailed},
        {"control read, null array", false, 64, true, controlRead(4), ReadFailed},
        {"control read, data stage past the array", false, 12, false, controlRead(5), ReadFailed},
        {"control read, negative length", false, 64, false, controlRead(-8), ReadFailed},
        {"bulk write, null array", false, 64, true, bulkWrite(0), TransferFailed},
        {"bulk write, past the array", false, 10, false, bulkWrite(11), TransferFailed},
        {"bulk write, negative length", false, 64, false, bulkWrite(-1), TransferFailed},
        {"bulk read, null array", false, 64, true, bulkRead(8), TransferFailed},
        {"bulk read, past the array", false, 10, false, bulkRead(11), TransferFailed},
        {"bulk read, negative length", false, 64, false, bulkRead(-100), TransferFailed},
        {"report write, null array", true, 64, true, reportWrite(64), TransferFailed},
        {"report write, array shorter than a report", true, 63, false, reportWrite(8), TransferFailed},
        {"report write, length above 64", true, 200, false, reportWrite(65), TransferFailed},
        {"report write, negative length", true, 64, false, reportWrite(-1), TransferFailed},
        {"report read, null array", true, 64, true, reportRead(64), ReadFailed},
        {"report read, array shorter than a report", true, 63, false, reportRead(64), ReadFailed},
        {"report read, length above 64", true, 200, false, reportRead(100), ReadFailed},
        {"report read, negative length", true, 64, false, reportRead(-2), ReadFailed},
        {"device descriptor, null array", false, 64, true, descriptor(1, 0, 18), NoSuchDevice},
        {"device descriptor, array shorter than 18", false, 17, false, descriptor(1, 0, 18), NoSuchDevice},
        {"string, null array", false, 64, true, descriptor(3, 2, 10), NoSuchDevice},
        {"string, bound past the array", false, 10, false, descriptor(3, 2, 11), NoSuchDevice},
        {"string, negative bound: nothing written", false, 64, false, descriptor(3, 2, -1), Success},
    };
}

TEST_F(CallerBytes, ArraysTooSmallForTheRequestAreRefusedUntouched) {
    DeviceEntry& winUsb = openWinUsb();
    DeviceEntry& hid = openHid();
    const std::vector<uint8_t> canvas = pattern(256, 13);
    for (const Refusal& r : refusals()) {
        DeviceEntry& e = r.hid ? hid : winUsb;
        std::vector<uint8_t> data = canvas;
        e.lastError = 4242;
        sim::startJournal();
        EXPECT_EQ(r.operation(e, r.nullArray ? nullptr : data.data(), r.nullArray ? 0 : r.dataLength), r.expected)
            << r.what;
        EXPECT_TRUE(sim::journal().empty()) << r.what << ": nothing goes to the system";
        EXPECT_EQ(data, canvas) << r.what;
        EXPECT_EQ(e.lastResult, r.expected) << r.what;
        EXPECT_EQ(e.lastError, 4242u) << r.what;
        EXPECT_EQ(e.isOpen, 1) << r.what;
    }
}

TEST_F(CallerBytes, AClosedEntryAnswersNotOpenBeforeItsArrayIsLookedAt) {
    DeviceEntry& winUsb = entryFor(winUsbPath(), false).entry;
    DeviceEntry& hid = entryFor(hidPath(), true).entry;
    sim::startJournal();
    for (const Refusal& r : refusals()) {
        DeviceEntry& e = r.hid ? hid : winUsb;
        EXPECT_EQ(r.operation(e, nullptr, 0), NotOpen) << r.what;
        EXPECT_EQ(e.lastResult, NotOpen) << r.what;
    }
    EXPECT_EQ(winUsb.cancelPipeTransfer(0x81), NotOpen);
    EXPECT_EQ(winUsb.getDescriptor(nullptr, 0, 5, 0, 0), NotOpen);
    EXPECT_TRUE(sim::journal().empty());
}

TEST_F(CallerBytes, ExactlyTheBytesAnOperationNeedsAreEnough) {
    DeviceEntry& winUsb = openWinUsb();
    DeviceEntry& hid = openHid();
    // A control transfer with a zero-length data stage needs the setup packet only.
    std::vector<uint8_t> setup = {0x40, 0x01, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(winUsb.writeControlPipe(0, 0, setup.data(), 8), 0);
    // A bulk transfer of the whole array.
    std::vector<uint8_t> bulk = pattern(10, 2);
    EXPECT_EQ(winUsb.writeBulkPipe(1, 10, 100, bulk.data(), 10), 10);
    EXPECT_EQ(winUsb.readBulkPipe(1, 10, 100, bulk.data(), 10), 10);
    // A report transfer of a 64-byte array.
    std::vector<uint8_t> report = pattern(64, 4);
    EXPECT_EQ(hid.writeInterruptPipe(0, 64, 100, report.data(), 64), 65);
    EXPECT_EQ(hid.readInterruptPipe(0, 64, 100, report.data(), 64), 65);
    EXPECT_EQ(report, pattern(64, 4));
}

}  // namespace
