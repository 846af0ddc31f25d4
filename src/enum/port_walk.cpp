// The ports of one open hub, in increasing order: what is connected, the
// device's driver key, properties, interface and descriptors, then either
// the hub behind the port or an entry for the device.
#include <cstring>

#include "enum/bounded_text.h"
#include "enum/driver_keys.h"
#include "enum/hub_walk.h"
#include "enum/port_data.h"
#include "enum/walk_state.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"
#include "trace/trace_points.h"

namespace {

using ConnectionInformation = platform::UsbNodeConnectionInformationEx;
constexpr size_t kNameMaximum = 256;  // names of 256 characters or more are refused
constexpr uint16_t kBosFromUsbVersion = 0x0210;

ConnectionInformation* newConnectionInformation(uint32_t port) {
    auto* info = static_cast<ConnectionInformation*>(platform::HeapAllocZero(sizeof(ConnectionInformation)));
    if (info != nullptr) info->ConnectionIndex = port;
    return info;
}

bool askConnection(platform::Handle hub, uint32_t code, ConnectionInformation* info) {
    uint32_t returned = 0;
    if (platform::DeviceIoControl(hub, code, info, sizeof *info, info, sizeof *info, &returned, nullptr)) return true;
    tracepoint::code(platform::GetLastError());
    return false;
}

// The extended request, else the legacy one whose answer takes the place
// of the extended fields the walk uses. False when the port is to be skipped.
bool readConnection(platform::Handle hub, uint32_t port, ConnectionInformation* info) {
    tracepoint::tag("Ehp03");
    if (askConnection(hub, platform::kIoctlUsbGetNodeConnectionInformationEx, info)) return true;
    tracepoint::tag("Ehp04!");
    ConnectionInformation* legacy = newConnectionInformation(port);
    if (legacy == nullptr) {
        tracepoint::tag("Ehp05!");
        return false;
    }
    bool answered = askConnection(hub, platform::kIoctlUsbGetNodeConnectionInformation, legacy);
    if (answered) {
        info->ConnectionIndex = legacy->ConnectionIndex;
        info->DeviceDescriptor = legacy->DeviceDescriptor;
        info->DeviceIsHub = legacy->DeviceIsHub;
        info->ConnectionStatus = legacy->ConnectionStatus;
    } else {
        tracepoint::tag("Ehp07!");
    }
    platform::HeapFreeBlock(legacy);
    return answered;
}

// Properties and interface node of the device, found by its driver key.
void identifyDevice(platform::Handle hub, uint32_t port, PortData& data) {
    tracepoint::tag("Ehp10");
    tracepoint::code(port);
    char* driverKey = getPortDriverKey(hub, port);
    size_t length = 0;
    if (driverKey != nullptr && boundedLength(driverKey, kNameMaximum, &length) >= 0) {
        tracepoint::number(static_cast<int32_t>(length));
        data.properties = getDeviceProperties(driverKey, length);
        if (data.properties == nullptr) tracepoint::tag("DevProps==null");
        data.interfaceNode = findInterfaceNode(driverKey, data.connection->DeviceIsHub);
        if (data.interfaceNode == nullptr) tracepoint::tag("pNode==null");
    } else {
        tracepoint::tag("Ehp12!");
    }
    platform::HeapFreeBlock(driverKey);
}

void readDescriptors(platform::Handle hub, uint32_t port, PortData& data) {
    const platform::UsbDeviceDescriptor& device = data.connection->DeviceDescriptor;
    tracepoint::tag("Ehp20");
    data.configuration = getConfigDescriptor(hub, port, 0);
    if (data.configuration == nullptr) {
        tracepoint::tag("Ehp21!");
        return;
    }
    if (device.bcdUSB >= kBosFromUsbVersion) {
        tracepoint::tag("Ehp23");
        data.bos = getBosDescriptor(hub, port);
    }
    if (areThereStringDescriptors(&device, data.configuration)) {
        tracepoint::tag("Ehp25");
        data.strings = getAllStringDescriptors(hub, port, &device, data.configuration);
    }
}

}  // namespace

void releasePortData(PortData& data) {
    platform::HeapFreeBlock(data.connection);
    data.connection = nullptr;
    releaseDeviceProperties(data.properties);
    data.interfaceNode = nullptr;
    releaseDescriptorRequest(data.configuration);
    releaseDescriptorRequest(data.bos);
    releaseStringDescriptorChain(data.strings);
}

void enumerateHubPorts(platform::Handle hub, uint8_t portCount) {
    tracepoint::tag("Ehp01");
    for (uint32_t port = 1; port <= portCount; ++port) {
        PortData data{};
        data.connection = newConnectionInformation(port);
        if (data.connection == nullptr) {
            tracepoint::tag("Ehp02!");
            return;
        }
        if (!readConnection(hub, port, data.connection)) {
            releasePortData(data);
            continue;
        }
        uint32_t status = data.connection->ConnectionStatus;
        if (status != platform::kNoDeviceConnected) identifyDevice(hub, port, data);
        if (status == platform::kDeviceConnected) readDescriptors(hub, port, data);

        if (data.connection->DeviceIsHub != 0) {
            tracepoint::tag("Ehp40");
            walkNamedHub(getExternalHubName(hub, port), {"Ehp41!", "Ehp42!", "Ehp43"});
        } else if (vendorPassesFilter(data.connection->DeviceDescriptor.idVendor) != 0) {
            tracepoint::tag("Ehp50");
            buildDeviceEntry(data);
        } else {
            tracepoint::tag("Ehp60c");
        }
        releasePortData(data);
    }
}
