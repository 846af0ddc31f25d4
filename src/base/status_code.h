// Integer results of the exported methods: 0 or a count on success,
// negative on failure.
#pragma once

#include <cstdint>

enum StatusCode : int32_t {
    Success = 0,
    TimedOut = -7,
    WinUsbNotLoaded = -101,
    ListNotFound = -103,
    OpenFailed = -103,
    NoLists = -104,
    AlreadyOpen = -105,
    WinUsbInitFailed = -107,
    NotOpen = -109,
    TransferFailed = -112,
    ReadFailed = -113,
    NoSuchDevice = -114,
    AlreadyInitialized = -115,
    BadHandle = -116,
    AbortFailed = -117,
    DescriptorNotSupported = -120,
    ThreadStartFailed = -140,
    NoApiTable = -200,
};
