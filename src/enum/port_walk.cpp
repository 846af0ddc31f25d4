// The ports of one open hub, in increasing order: what is connected, the
// device's driver key, properties, interface and descriptors, then either
// the hub behind the port or an entry for the device.
#include <cstring>

#include "enum/bounded_text.h"
#include "enum/driver_keys.h"
#include "enum/hub_walk.h"
#include "enum/port_data.h"
#include "enum/walk_state.h"
#include "enum/walk_trace.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/usb_requests.h"

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
    walktrace::code(platform::GetLastError());
    return false;
}

// The extended request, else the legacy one whose answer takes the place
// of the extended fields the walk uses. False when the port is to be skipped.
bool readConnection(platform::Handle hub, uint32_t port, ConnectionInformation* info) {
    walktrace::tag("Ehp03");
    if (askConnection(hub, platform::kIoctlUsbGetNodeConnectionInformationEx, info)) return true;
    walktrace::tag("Ehp04!");
    ConnectionInformation* legacy = newConnectionInformation(port);
    if (legacy == nullptr) {
        walktrace::tag("Ehp05!");
        return false;
    }
    bool answered = askConnection(hub, platform::kIoctlUsbGetNodeConnectionInformation, legacy);
    if (answered) {
        info->ConnectionIndex = legacy->ConnectionIndex;
        info->DeviceDescriptor = legacy->DeviceDescriptor;
        info->DeviceIsHub = legacy->DeviceIsHub;
        info->ConnectionStatus = legacy->ConnectionStatus;
    } else {
        walktrace::tag("Ehp07!");
    }
    platform::HeapFreeBlock(legacy);
    return answered;
}

// Properties and interface node of the device, found by its driver key.
void identifyDevice(platform::Handle hub, uint32_t port, PortData& data) {
    walktrace::tag("Ehp10");
    walktrace::code(port);
    char* driverKey = getPortDriverKey(hub, port);
    size_t length = 0;
    if (driverKey != nullptr && boundedLength(driverKey, kNameMaximum, &length) >= 0) {
        walktrace::number(static_cast<int32_t>(length));
        data.properties = getDeviceProperties(driverKey, length);
        if (data.properties == nullptr) walktrace::tag("DevProps==null");
        data.interfaceNode = findInterfaceNode(driverKey, data.connection->DeviceIsHub);
        if (data.interfaceNode == nullptr) walktrace::tag("pNode==null");
    } else {
        walktrace::tag("Ehp12!");
    }
    platform::HeapFreeBlock(driverKey);
}

void readDescriptors(platform::Handle hub, uint32_t port, PortData& data) {
    const platform::UsbDeviceDescriptor& device = data.connection->DeviceDescriptor;
    walktrace::tag("Ehp20");
    data.configuration = getConfigDescriptor(hub, port, 0);
    if (data.configuration == nullptr) {
        walktrace::tag("Ehp21!");
        return;
    }
    if (device.bcdUSB >= kBosFromUsbVersion) {
        walktrace::tag("Ehp23");
        data.bos = getBosDescriptor(hub, port);
    }
    if (areThereStringDescriptors(&device, data.configuration)) {
        walktrace::tag("Ehp25");
        data.strings = getAllStringDescriptors(hub, port, &device, data.configuration);
    }
}

void walkExternalHub(platform::Handle hub, uint32_t port) {
    walktrace::tag("Ehp40");
    char* name = getExternalHubName(hub, port);
    size_t length = 0;
    if (name == nullptr) {
        walktrace::tag("Ehp41!");
        return;
    }
    if (boundedLength(name, kNameMaximum, &length) < 0) {
        walktrace::tag("Ehp42!");
        platform::HeapFreeBlock(name);
        return;
    }
    enumerateHub(name, length);
    walktrace::tag("Ehp43");
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
    walktrace::tag("Ehp01");
    for (uint32_t port = 1; port <= portCount; ++port) {
        PortData data{};
        data.connection = newConnectionInformation(port);
        if (data.connection == nullptr) {
            walktrace::tag("Ehp02!");
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
            walkExternalHub(hub, port);
        } else if (vendorPassesFilter(data.connection->DeviceDescriptor.idVendor) != 0) {
            walktrace::tag("Ehp50");
            buildDeviceEntry(data);
        } else {
            walktrace::tag("Ehp60c");
        }
        releasePortData(data);
    }
}
