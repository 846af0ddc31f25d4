#include "enum/interface_lists.h"

#include "enum/config_file.h"
#include "enum/device_properties.h"
#include "enum/interface_paths.h"
#include "enum/text_compare.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "trace/trace_points.h"

InterfaceList deviceInterfaceList = {platform::invalidHandle(), nullptr, nullptr};
InterfaceList hubInterfaceList = {platform::invalidHandle(), nullptr, nullptr};

namespace {

void append(InterfaceList& list, InterfaceNode* node) {
    if (list.last == nullptr)
        list.first = node;
    else
        list.last->next = node;
    list.last = node;
}

// Fills the node for the interface at index; false (with the failure
// traced) when the device or its interface cannot be fully described.
bool describeInterface(InterfaceNode* node, platform::DevInfoSet set, const platform::Guid& interfaceClass,
                       uint32_t index) {
    if (readRegistryProperty(set, &node->deviceInfoData, platform::kSpdrpDeviceDesc, &node->deviceDesc) != 1) {
        tracepoint::tag("eadwg M");
        return false;
    }
    if (readRegistryProperty(set, &node->deviceInfoData, platform::kSpdrpDriver, &node->driverName) != 1) {
        tracepoint::tag("eadwg P");
        return false;
    }
    if (!platform::SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &node->deviceInterfaceData)) {
        tracepoint::tag("eadwg R");
        return false;
    }
    uint32_t required = 0;
    bool answered =
        platform::SetupDiGetDeviceInterfaceDetailW(set, &node->deviceInterfaceData, nullptr, 0, &required, nullptr);
    uint32_t error = platform::GetLastError();
    if (!answered && error != platform::kErrorInsufficientBuffer) {
        tracepoint::tag("eadwg T");
        tracepoint::code(error);
        return false;
    }
    // A size beyond any real path is refused here rather than allocated.
    node->interfaceDetail = allocateInterfaceDetail(required);
    if (node->interfaceDetail == nullptr) {
        tracepoint::tag("eadwg V");
        return false;
    }
    if (!platform::SetupDiGetDeviceInterfaceDetailW(set, &node->deviceInterfaceData, node->interfaceDetail, required,
                                                    nullptr, nullptr)) {
        tracepoint::tag("eadwg W");
        return false;
    }
    return true;
}

}  // namespace

void buildInterfaceLists() {
    tracepoint::tag("EAD 00");
    if (configHasKeyword(kKeywordUseInfGuid) == 1)
        buildInterfaceList(deviceInterfaceList, platform::kGuidFixedDeviceInterfaceClass);
    else
        buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
    tracepoint::tag("EAD 01");
    buildInterfaceList(hubInterfaceList, platform::kGuidDevinterfaceUsbHub);
    tracepoint::tag("EAD done");
}

void buildInterfaceList(InterfaceList& list, const platform::Guid& interfaceClass) {
    tracepoint::tag("eadwg 00");
    if (platform::isValidHandle(list.deviceInfoSet)) clearInterfaceList(list);
    list.deviceInfoSet = platform::SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                                        platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    if (!platform::isValidHandle(list.deviceInfoSet)) {
        list.deviceInfoSet = platform::invalidHandle();
        return;
    }
    tracepoint::tag("eadwg 01");
    for (uint32_t index = 0;; ++index) {
        auto* node = static_cast<InterfaceNode*>(platform::HeapAllocZero(sizeof(InterfaceNode)));
        if (node == nullptr) {
            tracepoint::tag("eadwg E");
            return;
        }
        node->deviceInfoSet = list.deviceInfoSet;
        node->deviceInfoData.cbSize = sizeof(platform::SpDevinfoData);
        node->deviceInterfaceData.cbSize = sizeof(platform::SpDeviceInterfaceData);
        bool enumerated = platform::SetupDiEnumDeviceInfo(list.deviceInfoSet, index, &node->deviceInfoData);
        uint32_t error = platform::GetLastError();
        if (!enumerated) {
            releaseInterfaceNode(node);
            if (error == platform::kErrorNoMoreItems) {
                tracepoint::tag("eadwg K2");
            } else {
                tracepoint::tag("eadwg K");
                tracepoint::code(error);
            }
            return;
        }
        if (!describeInterface(node, list.deviceInfoSet, interfaceClass, index)) {
            releaseInterfaceNode(node);
            return;
        }
        tracepoint::number(static_cast<int32_t>(index));
        tracepoint::text(node->deviceDesc, "deviceDesc");
        tracepoint::text(node->driverName, "driverName");
        append(list, node);
        tracepoint::tag("eadwg X");
    }
}

void clearInterfaceList(InterfaceList& list) {
    tracepoint::tag("cdl 00");
    if (platform::isValidHandle(list.deviceInfoSet)) platform::SetupDiDestroyDeviceInfoList(list.deviceInfoSet);
    list.deviceInfoSet = platform::invalidHandle();
    while (list.first != nullptr) {
        InterfaceNode* node = list.first;
        list.first = node->next;
        releaseInterfaceNode(node);
    }
    list.last = nullptr;
    tracepoint::tag("cdl 01");
}

void releaseInterfaceNode(InterfaceNode*& node) {
    tracepoint::tag("FDIN00");
    if (node == nullptr) return;
    platform::HeapFreeBlock(node->interfaceDetail);
    platform::HeapFreeBlock(node->deviceDesc);
    platform::HeapFreeBlock(node->driverName);
    platform::HeapFreeBlock(node);
    node = nullptr;
    tracepoint::tag("FDIN01");
}

InterfaceNode* findInterfaceNode(const char* driverKey, uint8_t isHub) {
    tracepoint::tag("Fmdnfdn00");
    const InterfaceList& list = isHub != 0 ? hubInterfaceList : deviceInterfaceList;
    for (InterfaceNode* node = list.first; node != nullptr; node = node->next) {
        if (equalsNoCase(node->driverName, driverKey)) {
            tracepoint::tag("Fmdnfdn01");
            return node;
        }
    }
    tracepoint::tag("Fmdnfdn02");
    return nullptr;
}
