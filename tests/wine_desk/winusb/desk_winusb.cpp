// A test-only "winusb.dll" for the Wine desk, placed in the desk's prefix
// and never shipped: Wine's own has no working entry points. Each WinUSB
// device is the simulated stack's own device model (sim::WinUsbDevice, with
// the argument rules of each call) for the bench the desk serves, so the
// library's real loading and calls of WinUSB run under Wine and answer as
// they do over the simulated stack. The file the library opened reaches the
// device's own node through Wine's I/O manager and the bus driver, which
// tells which device it is and, asked again every few milliseconds while
// an interface is in use, whether it is still plugged in: a transfer begun
// after a pull-out, or waiting when it happens, ends as the model says.
//
// The machine's records first: Windows' headers define "interface" as a
// macro, which the records use as a member name.
#include "../desk_blob.h"
#include "../loader/desk_bench.h"
#include "../loader/desk_nodes.h"
#include "platform/sim/devices/device_runtime.h"
#include "platform/sim/devices/winusb_calls.h"
#include "platform/winusb.h"

#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace {

constexpr DWORD kWatchMilliseconds = 20;

struct Interface {
    HANDLE file;
    std::shared_ptr<sim::WinUsbDevice> device;
};

struct Served {
    std::mutex lock;
    bool machineRead = false;
    sim::Machine machine;
    std::vector<desk::DeskNode> nodes;
    std::map<uint32_t, std::shared_ptr<sim::WinUsbDevice>> devices;  // by node
    std::map<uintptr_t, Interface> live;
    uintptr_t nextValue = 0x5A000010;
    // The watcher runs while an interface is live; a new generation ends
    // the one before.
    std::thread watcher;
    uint64_t generation = 0;
    std::condition_variable stop;
};

Served& served() {
    static Served* s = new Served;
    return *s;
}

// Asks the device behind a file which node it is: false (with the last
// error set) when the file is not a desk device's or the device is gone.
bool whichNode(HANDLE file, uint32_t* node) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) return false;
    DWORD returned = 0;
    BOOL done = DeviceIoControl(file, DESK_IOCTL_WHICH_NODE, nullptr, 0, node, sizeof *node, &returned, &overlapped);
    if (!done && GetLastError() == ERROR_IO_PENDING) done = GetOverlappedResult(file, &overlapped, &returned, TRUE);
    DWORD error = GetLastError();
    CloseHandle(overlapped.hEvent);
    SetLastError(error);
    return done && returned == sizeof *node;
}

void watch(uint64_t generation) {
    Served& s = served();
    std::unique_lock<std::mutex> guard(s.lock);
    while (s.generation == generation) {
        uint32_t node;
        for (auto& entry : s.live)
            if (!whichNode(entry.second.file, &node)) entry.second.device->unplug();
        s.stop.wait_for(guard, std::chrono::milliseconds(kWatchMilliseconds));
    }
}

// The model of the WinUSB device at a node, made when first opened and
// again after the device was pulled out; lock held.
std::shared_ptr<sim::WinUsbDevice> deviceAt(Served& s, uint32_t node) {
    if (!s.machineRead) {
        std::string error;
        if (!desk::servedMachine(&s.machine, &error)) {
            std::fprintf(stderr, "winusb.dll (Wine desk): %s\n", error.c_str());
            return nullptr;
        }
        s.nodes = desk::deskNodes(s.machine);
        s.machineRead = true;
    }
    if (node >= s.nodes.size() || s.nodes[node].device == nullptr || !sim::drivenByWinUsb(*s.nodes[node].device))
        return nullptr;
    std::shared_ptr<sim::WinUsbDevice>& device = s.devices[node];
    if (!device || !device->connected()) device = std::make_shared<sim::WinUsbDevice>(*s.nodes[node].device);
    return device;
}

int32_t finish(uint32_t error) {
    if (error == 0) return TRUE;
    SetLastError(error);
    return FALSE;
}

// Answers a call on a live interface with its device's answer (a system
// error code, 0: done); a handle that is not live fails as on Windows.
template <typename Call>
int32_t onDevice(void* interfaceHandle, Call call) {
    std::shared_ptr<sim::WinUsbDevice> device;
    {
        Served& s = served();
        std::lock_guard<std::mutex> guard(s.lock);
        auto it = s.live.find(reinterpret_cast<uintptr_t>(interfaceHandle));
        if (it != s.live.end()) device = it->second.device;
    }
    return finish(device ? call(*device) : ERROR_INVALID_HANDLE);
}

}  // namespace

// The entry points have exactly the types the library calls them through.
#define WINUSB_EXPORT extern "C" __declspec(dllexport)

WINUSB_EXPORT int32_t WinUsb_Initialize(platform::Handle file, void** interfaceHandle) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return finish(ERROR_INVALID_HANDLE);
    if (interfaceHandle == nullptr) return finish(ERROR_INVALID_PARAMETER);
    uint32_t node = 0;
    if (!whichNode(file, &node)) {
        // A file of a device the bus driver does not serve knows no such
        // request: not a WinUSB device's interface.
        DWORD error = GetLastError();
        return finish(error == ERROR_INVALID_FUNCTION ? ERROR_NOT_SUPPORTED : error);
    }
    Served& s = served();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        std::shared_ptr<sim::WinUsbDevice> device = deviceAt(s, node);
        if (!device) return finish(ERROR_NOT_SUPPORTED);
        uintptr_t value = s.nextValue;
        s.nextValue += 0x10;
        s.live[value] = {file, device};
        *interfaceHandle = reinterpret_cast<void*>(value);
        if (!s.watcher.joinable()) s.watcher = std::thread(watch, ++s.generation);
    }
    return TRUE;
}

WINUSB_EXPORT int32_t WinUsb_Free(void* interfaceHandle) {
    Served& s = served();
    std::thread ended;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.live.erase(reinterpret_cast<uintptr_t>(interfaceHandle)) == 0) return finish(ERROR_INVALID_HANDLE);
        if (s.live.empty()) {
            ++s.generation;
            ended = std::move(s.watcher);
            s.stop.notify_all();
        }
    }
    if (ended.joinable()) ended.join();
    return TRUE;
}

WINUSB_EXPORT int32_t WinUsb_QueryDeviceInformation(void* interfaceHandle, uint32_t type, uint32_t* length,
                                                    void* buffer) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) {
        return sim::winUsbQueryDeviceInformation(device, type, length, buffer);
    });
}

WINUSB_EXPORT int32_t WinUsb_GetDescriptor(void* interfaceHandle, uint8_t type, uint8_t index, uint16_t language,
                                           uint8_t* buffer, uint32_t length, uint32_t* transferred) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) {
        return sim::winUsbGetDescriptor(device, type, index, language, buffer, length, transferred);
    });
}

WINUSB_EXPORT int32_t WinUsb_ReadPipe(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                                      uint32_t* transferred, platform::Overlapped* overlapped) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) {
        return sim::winUsbPipeTransfer(device, true, pipe, buffer, length, transferred, overlapped != nullptr);
    });
}

WINUSB_EXPORT int32_t WinUsb_WritePipe(void* interfaceHandle, uint8_t pipe, uint8_t* buffer, uint32_t length,
                                       uint32_t* transferred, platform::Overlapped* overlapped) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) {
        return sim::winUsbPipeTransfer(device, false, pipe, buffer, length, transferred, overlapped != nullptr);
    });
}

WINUSB_EXPORT int32_t WinUsb_SetPipePolicy(void* interfaceHandle, uint8_t pipe, uint32_t policy,
                                           uint32_t valueLength, void* value) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) {
        return device.setPipePolicy(pipe, policy, valueLength, value);
    });
}

WINUSB_EXPORT int32_t WinUsb_AbortPipe(void* interfaceHandle, uint8_t pipe) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) { return device.abortPipe(pipe); });
}

WINUSB_EXPORT int32_t WinUsb_ControlTransfer(void* interfaceHandle, platform::WinUsbSetupPacket setup,
                                             uint8_t* buffer, uint32_t length, uint32_t* transferred,
                                             platform::Overlapped* overlapped) {
    return onDevice(interfaceHandle, [&](sim::WinUsbDevice& device) {
        return sim::winUsbControlTransfer(device, setup, buffer, length, transferred, overlapped != nullptr);
    });
}

static_assert(std::is_same<decltype(&WinUsb_Initialize), platform::WinUsbInitializeFn>::value, "WinUsb_Initialize");
static_assert(std::is_same<decltype(&WinUsb_Free), platform::WinUsbFreeFn>::value, "WinUsb_Free");
static_assert(std::is_same<decltype(&WinUsb_QueryDeviceInformation), platform::WinUsbQueryDeviceInformationFn>::value,
              "WinUsb_QueryDeviceInformation");
static_assert(std::is_same<decltype(&WinUsb_GetDescriptor), platform::WinUsbGetDescriptorFn>::value,
              "WinUsb_GetDescriptor");
static_assert(std::is_same<decltype(&WinUsb_ReadPipe), platform::WinUsbReadPipeFn>::value, "WinUsb_ReadPipe");
static_assert(std::is_same<decltype(&WinUsb_WritePipe), platform::WinUsbWritePipeFn>::value, "WinUsb_WritePipe");
static_assert(std::is_same<decltype(&WinUsb_SetPipePolicy), platform::WinUsbSetPipePolicyFn>::value,
              "WinUsb_SetPipePolicy");
static_assert(std::is_same<decltype(&WinUsb_AbortPipe), platform::WinUsbAbortPipeFn>::value, "WinUsb_AbortPipe");
static_assert(std::is_same<decltype(&WinUsb_ControlTransfer), platform::WinUsbControlTransferFn>::value,
              "WinUsb_ControlTransfer");
