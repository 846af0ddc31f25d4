// The entry points of the simulated "winusb.dll". An interface handle comes
// from WinUsb_Initialize on a file opened on a WinUSB device's interface
// path and stays valid until WinUsb_Free; every transfer is synchronous.
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/control/misuse.h"
#include "platform/sim/devices/winusb_calls.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/os/winusb_entry_points.h"
#include "platform/winusb.h"

namespace sim {
namespace {

struct WinUsbInterface {
    std::shared_ptr<WinUsbDevice> device;
    const FileObject* file;  // identity only
    bool fileClosed = false;
};

struct InterfaceTable {
    std::mutex lock;
    uintptr_t nextValue = 0x5A000010;
    std::map<uintptr_t, std::shared_ptr<WinUsbInterface>> live;
};

InterfaceTable& interfaces() {
    static InterfaceTable* t = new InterfaceTable;
    return *t;
}

// Every entry point starts here: records the call, applies fault rules, and
// catches a call into the module after it was released (on Windows, a jump
// into unmapped memory).
bool enter(const char* name, const std::string& arguments) {
    if (failHere(name, arguments)) return false;
    if (moduleReferences("winusb.dll") == 0) {
        reportMisuse(std::string(name) + " was called while winusb.dll was not loaded");
        platform::SetLastError(platform::kErrorInvalidHandle);
        return false;
    }
    return true;
}

std::shared_ptr<WinUsbInterface> findInterface(void* handle, const char* caller) {
    if (handle == nullptr) {
        platform::SetLastError(platform::kErrorInvalidHandle);
        return nullptr;
    }
    InterfaceTable& t = interfaces();
    std::shared_ptr<WinUsbInterface> found;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.live.find(reinterpret_cast<uintptr_t>(handle));
        if (it != t.live.end()) found = it->second;
    }
    if (!found) {
        reportMisuse(std::string(caller) + " was given an interface handle that WinUsb_Initialize did not give "
                     "out or that WinUsb_Free already released");
        platform::SetLastError(platform::kErrorInvalidHandle);
        return nullptr;
    }
    if (found->fileClosed) {
        platform::SetLastError(platform::kErrorInvalidHandle);
        return nullptr;
    }
    return found;
}

bool finish(uint32_t error) {
    if (error == platform::kErrorSuccess) return true;
    platform::SetLastError(error);
    return false;
}

std::string pipeText(uint8_t pipe, uint32_t length) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%02X %u", pipe, length);
    return text;
}

int32_t WinUsb_Initialize(platform::Handle device, void** interfaceHandle) {
    if (!enter("WinUsb_Initialize", "")) return 0;
    auto file = findHandleAs<FileObject>(device);
    if (file == nullptr || interfaceHandle == nullptr) {
        platform::SetLastError(file == nullptr ? platform::kErrorInvalidHandle : platform::kErrorInvalidParameter);
        return 0;
    }
    auto endpoint = std::dynamic_pointer_cast<WinUsbInterfaceFile>(file->endpoint);
    if (endpoint == nullptr) {
        platform::SetLastError(platform::kErrorNotSupported);  // not a WinUSB device's interface
        return 0;
    }
    auto made = std::make_shared<WinUsbInterface>();
    made->device = endpoint->device();
    made->file = file.get();
    InterfaceTable& t = interfaces();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t value = t.nextValue;
    t.nextValue += 0x10;
    t.live[value] = made;
    ++liveCounters().winUsbInterfaces;
    *interfaceHandle = reinterpret_cast<void*>(value);
    return 1;
}

int32_t WinUsb_Free(void* interfaceHandle) {
    if (!enter("WinUsb_Free", "")) return 0;
    if (interfaceHandle == nullptr) {
        platform::SetLastError(platform::kErrorInvalidHandle);
        return 0;
    }
    InterfaceTable& t = interfaces();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.live.erase(reinterpret_cast<uintptr_t>(interfaceHandle)) == 0) {
        reportMisuse("WinUsb_Free was given an interface handle that is not live");
        platform::SetLastError(platform::kErrorInvalidHandle);
        return 0;
    }
    --liveCounters().winUsbInterfaces;
    return 1;
}

int32_t WinUsb_QueryDeviceInformation(void* interfaceHandle, uint32_t type, uint32_t* length, void* buffer) {
    if (!enter("WinUsb_QueryDeviceInformation", std::to_string(type))) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_QueryDeviceInformation");
    if (!found) return 0;
    return finish(winUsbQueryDeviceInformation(*found->device, type, length, buffer));
}

int32_t WinUsb_GetDescriptor(void* interfaceHandle, uint8_t type, uint8_t index, uint16_t language, uint8_t* buffer,
                             uint32_t length, uint32_t* transferred) {
    if (!enter("WinUsb_GetDescriptor", std::to_string(type) + " " + std::to_string(index))) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_GetDescriptor");
    if (!found) return 0;
    return finish(winUsbGetDescriptor(*found->device, type, index, language, buffer, length, transferred));
}

int32_t WinUsb_ReadPipe(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                        uint32_t* transferred, platform::Overlapped* overlapped) {
    if (!enter("WinUsb_ReadPipe", pipeText(pipe, length))) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_ReadPipe");
    if (!found) return 0;
    return finish(winUsbPipeTransfer(*found->device, true, pipe, buffer, length, transferred, overlapped != nullptr));
}

int32_t WinUsb_WritePipe(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                         uint32_t* transferred, platform::Overlapped* overlapped) {
    if (!enter("WinUsb_WritePipe", pipeText(pipe, length))) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_WritePipe");
    if (!found) return 0;
    return finish(winUsbPipeTransfer(*found->device, false, pipe, buffer, length, transferred, overlapped != nullptr));
}

int32_t WinUsb_SetPipePolicy(void* interfaceHandle, uint8_t pipe, uint32_t policy, uint32_t valueLength,
                             void* value) {
    std::string arguments = pipeText(pipe, policy);
    if (value != nullptr && valueLength == sizeof(uint32_t)) {
        uint32_t number;
        std::memcpy(&number, value, sizeof number);
        arguments += " " + std::to_string(number);
    }
    if (!enter("WinUsb_SetPipePolicy", arguments)) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_SetPipePolicy");
    if (!found) return 0;
    return finish(found->device->setPipePolicy(pipe, policy, valueLength, value));
}

int32_t WinUsb_AbortPipe(void* interfaceHandle, uint8_t pipe) {
    if (!enter("WinUsb_AbortPipe", pipeText(pipe, 0))) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_AbortPipe");
    if (!found) return 0;
    return finish(found->device->abortPipe(pipe));
}

int32_t WinUsb_ControlTransfer(void* interfaceHandle, platform::WinUsbSetupPacket setup, uint8_t* buffer,
                               uint32_t length, uint32_t* transferred, platform::Overlapped* overlapped) {
    char arguments[64];
    std::snprintf(arguments, sizeof arguments, "%02X %02X %04X %04X %u %u", setup.RequestType, setup.Request,
                  setup.Value, setup.Index, setup.Length, length);
    if (!enter("WinUsb_ControlTransfer", arguments)) return 0;
    auto found = findInterface(interfaceHandle, "WinUsb_ControlTransfer");
    if (!found) return 0;
    return finish(winUsbControlTransfer(*found->device, setup, buffer, length, transferred, overlapped != nullptr));
}

}  // namespace

void WinUsbInterfaceFile::closed(FileObject& file) {
    // WinUSB wants WinUsb_Free before the file handle is closed; after the
    // close, the interface handle no longer reaches the device.
    size_t stranded = 0;
    {
        InterfaceTable& t = interfaces();
        std::lock_guard<std::mutex> guard(t.lock);
        for (auto& entry : t.live) {
            if (entry.second->file != &file || entry.second->fileClosed) continue;
            entry.second->fileClosed = true;
            ++stranded;
        }
    }
    if (stranded > 0) reportMisuse("a WinUSB device's file handle was closed before WinUsb_Free of its interface");
}

namespace {

// An exported name with its function, which must have exactly the type the
// library calls it through: a function of another signature does not
// convert, so a changed prototype fails to build instead of failing a call.
template <typename EntryPoint>
std::pair<std::string, void*> exported(const char* name, EntryPoint function) {
    return {name, reinterpret_cast<void*>(function)};
}

}  // namespace

std::vector<std::pair<std::string, void*>> winUsbEntryPoints() {
    return {
        exported<platform::WinUsbInitializeFn>("WinUsb_Initialize", &WinUsb_Initialize),
        exported<platform::WinUsbQueryDeviceInformationFn>("WinUsb_QueryDeviceInformation",
                                                           &WinUsb_QueryDeviceInformation),
        exported<platform::WinUsbGetDescriptorFn>("WinUsb_GetDescriptor", &WinUsb_GetDescriptor),
        exported<platform::WinUsbReadPipeFn>("WinUsb_ReadPipe", &WinUsb_ReadPipe),
        exported<platform::WinUsbWritePipeFn>("WinUsb_WritePipe", &WinUsb_WritePipe),
        exported<platform::WinUsbSetPipePolicyFn>("WinUsb_SetPipePolicy", &WinUsb_SetPipePolicy),
        exported<platform::WinUsbFreeFn>("WinUsb_Free", &WinUsb_Free),
        exported<platform::WinUsbAbortPipeFn>("WinUsb_AbortPipe", &WinUsb_AbortPipe),
        exported<platform::WinUsbControlTransferFn>("WinUsb_ControlTransfer", &WinUsb_ControlTransfer),
    };
}

}  // namespace sim
