// The SetupAPI description of a device found by its driver key name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// Zero-filled from the process heap; owns each of its texts (narrow, each
// from the process heap). Exists only with InstanceId and Description.
struct UsbDeviceProperties {
    char* InstanceId;
    char* Description;
    char* HardwareId;  // the hardware id list; read as text, its first id
    char* Service;     // the function driver's service name
    char* SetupClass;
    char* Spare;       // never filled
};

// Reads a text registry property (SPDRP_*) of a device. 1 with *text set
// (process heap, always terminated), or 0 with *text null.
int readRegistryProperty(platform::DevInfoSet set, platform::SpDevinfoData* device, uint32_t property,
                         char** text);

// Finds the present device whose SPDRP_DRIVER equals the first length
// characters of driverKey, ignoring the case of ASCII letters. On 1 the
// set of all present devices and the device's data are the caller's (who
// destroys the set); on 0 *set is invalid and *device zeroed.
int findDeviceByDriverKey(const char* driverKey, size_t length, platform::DevInfoSet* set,
                          platform::SpDevinfoData* device);

// The properties of the device with this driver key, or null.
UsbDeviceProperties* getDeviceProperties(const char* driverKey, size_t length);

// Releases the record and its texts; the reference becomes null.
void releaseDeviceProperties(UsbDeviceProperties*& properties);
