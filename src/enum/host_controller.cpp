#include "enum/host_controller.h"

#include <cstring>

#include "enum/bounded_text.h"
#include "enum/driver_keys.h"
#include "enum/hub_walk.h"
#include "enum/pci_instance_id.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

constexpr size_t kNameMaximum = 256;

template <typename Request>
bool sendUserRequest(platform::Handle hostController, Request* request) {
    uint32_t returned = 0;
    return platform::DeviceIoControl(hostController, platform::kIoctlUsbUserRequest, request, sizeof *request,
                                     request, sizeof *request, &returned, nullptr);
}

void readPciIds(HostControllerInfo* info) {
    UsbDeviceProperties* properties = info->UsbDeviceProperties;
    if (properties == nullptr) {
        tracepoint::tag("Eb13!");
        return;
    }
    PciIds ids{};
    int converted = scanPciInstanceId(properties->InstanceId, &ids);
    info->pciVendorId = ids.vendorId;
    info->pciDeviceId = ids.deviceId;
    info->pciSubsystemId = ids.subsystemId;
    info->pciRevision = ids.revision;
    if (converted < 4) tracepoint::tag("Eb11!");
    tracepoint::text(properties->InstanceId, "InstanceId");
}

// Bus number, then (only when it was read) the PCI address.
void readBusAddress(platform::DevInfoSet set, platform::SpDevinfoData* device, HostControllerInfo* info) {
    info->busDeviceFunctionValid = 0;
    uint8_t value[4] = {};
    if (!platform::SetupDiGetDeviceRegistryPropertyW(set, device, platform::kSpdrpBusNumber, nullptr, value,
                                                     sizeof value, nullptr)) {
        tracepoint::tag("Eb17!");
        return;
    }
    std::memcpy(&info->busNumber, value, sizeof value);
    if (!platform::SetupDiGetDeviceRegistryPropertyW(set, device, platform::kSpdrpAddress, nullptr, value,
                                                     sizeof value, nullptr)) {
        tracepoint::tag("Eb18!");
        return;
    }
    uint32_t address;
    std::memcpy(&address, value, sizeof address);
    info->busDevice = static_cast<uint16_t>(address >> 16);
    info->busFunction = static_cast<uint16_t>(address & 0xFFFF);
    info->busDeviceFunctionValid = 1;
}

}  // namespace

uint32_t getHostControllerPowerMap(platform::Handle hostController, HostControllerInfo* info) {
    uint32_t error = 0;
    for (uint32_t state = platform::kWdmUsbPowerSystemWorking; state <= platform::kWdmUsbPowerSystemShutdown;
         ++state) {
        platform::UsbUserPowerInfoRequest request{};
        request.Header.UsbUserRequest = platform::kUsbUserGetPowerStateMap;
        request.Header.RequestBufferLength = sizeof request;
        request.PowerInformation.SystemState = state;
        if (sendUserRequest(hostController, &request))
            info->powerMap[state - platform::kWdmUsbPowerSystemWorking] = request.PowerInformation;
        else
            error = platform::GetLastError();
    }
    return error;
}

uint32_t getHostControllerInfo(platform::Handle hostController, HostControllerInfo* info) {
    platform::UsbUserControllerInfo0 request{};
    request.Header.UsbUserRequest = platform::kUsbUserGetControllerInfo0;
    request.Header.RequestBufferLength = sizeof request;
    if (!sendUserRequest(hostController, &request)) return platform::GetLastError();
    auto* copy =
        static_cast<platform::UsbControllerInfo0*>(platform::HeapAllocZero(sizeof(platform::UsbControllerInfo0)));
    if (copy == nullptr) return platform::kErrorNotEnoughMemory;
    *copy = request.Info0;
    info->controllerInfo = copy;
    return 0;
}

void enumerateHostController(platform::Handle hostController, platform::DevInfoSet set,
                             platform::SpDevinfoData* device) {
    tracepoint::tag("Eb01");
    auto* info = static_cast<HostControllerInfo*>(platform::HeapAllocZero(sizeof(HostControllerInfo)));
    if (info == nullptr) return;
    info->infoType = 0;

    char* driverKey = getHostControllerDriverKey(hostController);
    if (driverKey == nullptr) {
        tracepoint::tag("Eb03!");
        releaseHostControllerInfo(info);
        return;
    }
    if (hasHostControllerDriverKey(hostControllerList, driverKey)) {
        // A controller reported twice is walked once.
        tracepoint::tag("Eb06");
        platform::HeapFreeBlock(driverKey);
        releaseHostControllerInfo(info);
        return;
    }
    size_t length = 0;
    UsbDeviceProperties* properties = nullptr;
    if (boundedLength(driverKey, kNameMaximum, &length) >= 0) {
        tracepoint::tag("Eb08");
        properties = getDeviceProperties(driverKey, length);
    }
    info->driverKey = driverKey;
    info->UsbDeviceProperties = properties;
    readPciIds(info);

    if (getHostControllerPowerMap(hostController, info) != 0) tracepoint::tag("Eb15!");
    readBusAddress(set, device, info);
    if (getHostControllerInfo(hostController, info) != 0) tracepoint::tag("Eb21!");

    appendHostController(hostControllerList, info);
    tracepoint::tag("Eb23");
    tracepoint::tag("Eb24");
    walkNamedHub(getRootHubName(hostController), {"Eb26!", "Eb27!", "Eb27"});
}
