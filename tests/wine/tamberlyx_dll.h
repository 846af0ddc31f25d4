// Tamberlyx.dll as a JVM on Windows sees it: loaded by name from the
// directory beside this program, and its 19 methods found by their
// exported names.
#pragma once

#include <string>

#include "jni/exports.h"
#include "platform/types.h"

#define TAMBERLYX_ENTRY(name) decltype(&TAMBERLYX_METHOD(name)) name = nullptr

struct TamberlyxDll {
    platform::Module module = nullptr;
    TAMBERLYX_ENTRY(usbInitialize);
    TAMBERLYX_ENTRY(usbRelease);
    TAMBERLYX_ENTRY(usbCreateDeviceList);
    TAMBERLYX_ENTRY(usbUpdateDeviceList);
    TAMBERLYX_ENTRY(usbReleaseDeviceList);
    TAMBERLYX_ENTRY(usbGetDeviceListCount);
    TAMBERLYX_ENTRY(usbGetDeviceInfo);
    TAMBERLYX_ENTRY(usbGetChangeInfo);
    TAMBERLYX_ENTRY(usbOpenDevice);
    TAMBERLYX_ENTRY(usbCloseDevice);
    TAMBERLYX_ENTRY(usbResetDevice);
    TAMBERLYX_ENTRY(usbWriteControlPipe);
    TAMBERLYX_ENTRY(usbReadControlPipe);
    TAMBERLYX_ENTRY(usbWriteBulkPipe);
    TAMBERLYX_ENTRY(usbReadBulkPipe);
    TAMBERLYX_ENTRY(usbWriteInterruptPipe);
    TAMBERLYX_ENTRY(usbReadInterruptPipe);
    TAMBERLYX_ENTRY(usbCancelPipeTransfer);
    TAMBERLYX_ENTRY(usbGetDeviceDescriptor);

    // Loads the DLL (once per process; it is never unloaded, as a JVM
    // keeps it) and resolves every method. On failure, says what failed.
    bool load(std::string* problem);
};

#undef TAMBERLYX_ENTRY

// The process's one loaded instance, or null (with the reason) when the
// DLL or one of its methods is missing.
TamberlyxDll* tamberlyx(std::string* problem);
