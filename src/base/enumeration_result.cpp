#include "base/enumeration_result.h"

#include "platform/kernel.h"

void releaseWalkResult(EnumerationResult*& result) {
    if (result == nullptr) return;
    releaseEntryChain(result->firstEntry);
    platform::HeapFreeBlock(result);
    result = nullptr;
}
