// What each WinUSB entry point does once its interface handle is found: the
// call's own argument rules, then the device's answer, as a system error
// code (0: done). The simulated "winusb.dll" and the Wine desk's test-only
// one both answer through these, so both serve the one device model.
#pragma once

#include <cstdint>

#include "platform/sim/devices/winusb_device.h"
#include "platform/types.h"

namespace sim {

uint32_t winUsbQueryDeviceInformation(WinUsbDevice& device, uint32_t type, uint32_t* length, void* buffer);
uint32_t winUsbGetDescriptor(WinUsbDevice& device, uint8_t type, uint8_t index, uint16_t language,
                             uint8_t* buffer, uint32_t length, uint32_t* transferred);
// A read (an IN pipe) or write; overlapped: the caller asked for an
// asynchronous transfer, which only the system's WinUSB serves.
uint32_t winUsbPipeTransfer(WinUsbDevice& device, bool read, uint8_t pipe, uint8_t* buffer, uint32_t length,
                            uint32_t* transferred, bool overlapped);
uint32_t winUsbControlTransfer(WinUsbDevice& device, const platform::WinUsbSetupPacket& setup, uint8_t* buffer,
                               uint32_t length, uint32_t* transferred, bool overlapped);

}  // namespace sim
