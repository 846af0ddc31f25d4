// Fuzz target: whole walks of the USB tree over a simulated machine whose
// hub, device, SetupAPI and HID answers come from the input (see
// machine_program.h). The machine starts as the built-in bench (or a bare
// controller);
// the instructions before the first "next walk" shape the first walk, later
// ones change the machine between walks. Walks go either straight through
// enumerateUsbTree or through a device list (create, update, release).
//
// After each input everything the library took must be back: any handle,
// set, heap block or stream left over aborts the run. Every entry the walk
// hands out is checked on the way: its texts end within 127 bytes, its ids
// are those of its descriptor, it passes the vendor filter, and its
// description record is whole and converts to well-formed UTF-16.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "devlist/device_list_registry.h"
#include "devlist/list_entries.h"
#include "enum/enumerate_usb_tree.h"
#include "enum/walk_state.h"
#include "fuzz_environment.h"
#include "jni/description_record.h"
#include "machine_program.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/bench.h"
#include "platform/sim/model/machine_builder.h"
#include "trace/trace_log.h"
#include "utf16_checks.h"

namespace {

constexpr int kMostWalks = 3;
constexpr size_t kLongestDescriptionText = 127;  // a string descriptor holds 126 units, a HID text 127 bytes
constexpr uint32_t kFirstIdentity = 60000;       // above anything the bench itself numbers

[[noreturn]] void fail(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "walk fuzz: %s %s\n", what, detail.c_str());
    fuzz::removeEnvironment();
    std::abort();
}

void checkText(const char* text, const char* field) {
    if (text == nullptr) return;  // a walked entry may lack a text whose copy could not be made
    if (strnlen(text, kLongestDescriptionText + 1) > kLongestDescriptionText) fail("text longer than 127 bytes:", field);
}

void checkEntry(const DeviceEntry& e, uint16_t vendorFilter) {
    if (e.vendorId != e.deviceDescriptor.idVendor || e.productId != e.deviceDescriptor.idProduct ||
        e.bcdDevice != e.deviceDescriptor.bcdDevice)
        fail("entry ids differ from its device descriptor");
    if (vendorFilter != 0xFFFF && e.vendorId != vendorFilter) fail("entry outside the vendor filter");
    if (e.isHid != 0 && e.hidPath == nullptr) fail("HID entry without a HID path");
    checkText(e.manufacturerDescription, "manufacturer");
    checkText(e.deviceDescription, "product");
    checkText(e.serialNumber, "serial number");

    char record[kDescriptionRecordSize];
    formatDescriptionRecord(e, record);
    size_t length = strnlen(record, sizeof record);
    if (length == sizeof record) fail("description record without terminator");
    if (length < 5 || std::strcmp(record + length - 5, ":=end") != 0) fail("description record cut:", record);
    std::u16string units = recordToUtf16(record);
    if (!fuzz::isWellFormedUtf16(units)) fail("description record not well-formed UTF-16:", record);
}

std::vector<DeviceFilter> filterChain(uint16_t vendor) {
    std::vector<DeviceFilter> chain(1);
    chain[0].vendorId = vendor;
    chain[0].next = nullptr;
    return chain;
}

// One walk straight through the enumeration; the result is released here.
void walkDirectly(uint16_t vendor, bool traced) {
    std::vector<DeviceFilter> chain = filterChain(vendor);
    if (traced) TraceLog::open();
    EnumerationResult* result = enumerateUsbTree(chain.data());
    if (traced) TraceLog::disable();
    if (result == nullptr) return;
    for (const DeviceEntry* e = result->firstEntry; e != nullptr; e = e->next) {
        if (e->owner != result) fail("walked entry owned by another chain");
        checkEntry(*e, vendor);
    }
    releaseWalkResult(result);
}

void checkList(int32_t listId, uint16_t vendor) {
    int32_t position = 0;
    for (DeviceEntry* e = DeviceListRegistry::nextEntry(listId, nullptr); e != nullptr;
         e = DeviceListRegistry::nextEntry(listId, e), ++position) {
        if (e->index != position) fail("list entries not numbered in order");
        if (e->manufacturerDescription == nullptr || e->deviceDescription == nullptr || e->serialNumber == nullptr)
            fail("list entry without one of its texts");
        if (DeviceListRegistry::entryAt(listId, position) != e) fail("entryAt disagrees with the chain");
        checkEntry(*e, vendor);
    }
    DeviceListRegistry::findChange(listId, 0);
}

void runInput(const uint8_t* data, size_t size) {
    static const sim::Machine bench = sim::defaultBench();
    static const sim::Machine bare =
        sim::MachineBuilder().controller(sim::ControllerBuilder().identity(kFirstIdentity - 2)).build();
    fuzz::ByteReader input(data, size);
    uint8_t flags = input.u8();
    uint16_t vendor = (flags & fuzz::walk_flags::kOneVendor) != 0 ? input.u16() : 0xFFFF;
    bool traced = (flags & fuzz::walk_flags::kTraced) != 0;
    bool throughLists = (flags & fuzz::walk_flags::kThroughLists) != 0;
    fuzz::selectTraceKey(traced);
    fuzz::selectUseInfGuid((flags & fuzz::walk_flags::kUseInfGuid) != 0);

    sim::clearFaults();
    releaseWalkState();
    const sim::Counts before = sim::openCounts();

    sim::Machine machine = (flags & fuzz::walk_flags::kBareMachine) != 0 ? bare : bench;
    uint32_t nextIdentity = kFirstIdentity;
    int32_t listId = DeviceListRegistry::kNoListMade;
    for (int walk = 0; walk < kMostWalks; ++walk) {
        fuzz::Stop stop = fuzz::applyInstructions(input, machine, nextIdentity);
        sim::installMachine(machine);
        if (!throughLists) {
            walkDirectly(vendor, traced);
        } else if (listId < 0) {
            listId = DeviceListRegistry::create(vendor);
            if (listId >= 0) checkList(listId, vendor);
        } else {
            DeviceListRegistry::update(listId);
            checkList(listId, vendor);
        }
        if (stop == fuzz::Stop::End) break;
        // The next walk sees the machine as it is now: descriptors that
        // count their reads keep counting.
        machine = sim::machineCopy();
    }
    if (listId >= 0 && DeviceListRegistry::release(listId) != 0) fail("a list just made cannot be released");
    TraceLog::disable();

    sim::clearFaults();
    releaseWalkState();
    sim::Counts after = sim::openCounts();
    if (after != before) fail("left behind:", sim::describe(after) + " (before: " + sim::describe(before) + ")");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepareEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the input is caught.
    uint8_t* exact = new uint8_t[size];
    if (size != 0) std::memcpy(exact, data, size);
    runInput(exact, size);
    delete[] exact;
    return 0;
}
