// Operations on a listed device. Opening is not possible yet: every entry
// answers as a device that cannot be opened.
#include "devlist/device_entry.h"
#include "jni/status_code.h"

namespace {
int32_t finish(DeviceEntry* entry, int32_t result) {
    entry->lastResult = result;
    return result;
}
}  // namespace

int32_t DeviceEntry::open() { return finish(this, isOpen == 1 ? AlreadyOpen : OpenFailed); }
int32_t DeviceEntry::close() { return finish(this, NotOpen); }
int32_t DeviceEntry::reset() { return finish(this, isOpen == 1 ? Success : NotOpen); }
int32_t DeviceEntry::writeControlPipe(int32_t, int32_t, uint8_t*) { return finish(this, NotOpen); }
int32_t DeviceEntry::readControlPipe(int32_t, int32_t, uint8_t*) { return finish(this, NotOpen); }
int32_t DeviceEntry::writeBulkPipe(int32_t, int32_t, int32_t, uint8_t*) { return finish(this, NotOpen); }
int32_t DeviceEntry::readBulkPipe(int32_t, int32_t, int32_t, uint8_t*) { return finish(this, NotOpen); }
int32_t DeviceEntry::writeInterruptPipe(int32_t, int32_t, int32_t, uint8_t*) { return finish(this, NotOpen); }
int32_t DeviceEntry::readInterruptPipe(int32_t, int32_t, int32_t, uint8_t*) { return finish(this, NotOpen); }
int32_t DeviceEntry::cancelPipeTransfer(int32_t) { return finish(this, NotOpen); }
int32_t DeviceEntry::getDescriptor(uint8_t*, int32_t, int32_t, int32_t) { return finish(this, NotOpen); }
