// The walk of the USB tree. Not built yet: the walk finds no controller and
// returns an empty result.
#include "enum/enumeration_result.h"
#include "platform/kernel.h"

DeviceWalk deviceWalk = enumerateUsbTree;

EnumerationResult* enumerateUsbTree(DeviceFilter*) {
    return static_cast<EnumerationResult*>(platform::HeapAllocZero(sizeof(EnumerationResult)));
}
