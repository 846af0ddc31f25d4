#include "enum/interface_lists.h"

#include "enum/config_file.h"
#include "enum/device_properties.h"
#include "enum/interface_paths.h"
#include "enum/text_compare.h"
#include "enum/walk_trace.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"

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
        walktrace::tag("eadwg M");
        return false;
    }
    if (readRegistryProperty(set, &node->deviceInfoData, platform::kSpdrpDriver, &node->driverName) != 1) {
        walktrace::tag("eadwg P");
        return false;
    }
    if (!platform::SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &node->deviceInterfaceData)) {
        walktrace::tag("eadwg R");
        return false;
    }
    uint32_t required = 0;
    bool answered =
        platform::SetupDiGetDeviceInterfaceDetailW(set, &node->deviceInterfaceData, nullptr, 0, &required, nullptr);
    uint32_t error = platform::GetLastError();
    if (!answered && error != platform::kErrorInsufficientBuffer) {
        walktrace::tag("eadwg T");
        walktrace::code(error);
        return false;
    }
    // A size beyond any real path is refused here rather than allocated.
    node->interfaceDetail = allocateInterfaceDetail(required);
    if (node->interfaceDetail == nullptr) {
        walktrace::tag("eadwg V");
        return false;
    }
    if (!platform::SetupDiGetDeviceInterfaceDetailW(set, &node->deviceInterfaceData, node->interfaceDetail, required,
                                                    nullptr, nullptr)) {
        walktrace::tag("eadwg W");
        return false;
    }
    return true;
}

}  // namespace

void buildInterfaceLists() {
    walktrace::tag("EAD 00");
    if (configHasKeyword(kKeywordUseInfGuid) == 1)
        buildInterfaceList(deviceInterfaceList, platform::kGuidFixedDeviceInterfaceClass);
    else
        buildInterfaceList(deviceInterfaceList, platform::kGuidDevinterfaceUsbDevice);
    walktrace::tag("EAD 01");
    buildInterfaceList(hubInterfaceList, platform::kGuidDevinterfaceUsbHub);
    walktrace::tag("EAD done");
}

void buildInterfaceList(InterfaceList& list, const platform::Guid& interfaceClass) {
    walktrace::tag("eadwg 00");
    if (platform::isValidHandle(list.deviceInfoSet)) clearInterfaceList(list);
    list.deviceInfoSet = platform::SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                                        platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    if (!platform::isValidHandle(list.deviceInfoSet)) {
        list.deviceInfoSet = platform::invalidHandle();
        return;
    }
    walktrace::tag("eadwg 01");
    for (uint32_t index = 0;; ++index) {
        auto* node = static_cast<InterfaceNode*>(platform::HeapAllocZero(sizeof(InterfaceNode)));
        if (node == nullptr) {
            walktrace::tag("eadwg E");
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
                walktrace::tag("eadwg K2");
            } else {
                walktrace::tag("eadwg K");
                walktrace::code(error);
            }
            return;
        }
        if (!describeInterface(node, list.deviceInfoSet, interfaceClass, index)) {
            releaseInterfaceNode(node);
            return;
        }
        walktrace::number(static_cast<int32_t>(index));
        walktrace::text(node->deviceDesc, "deviceDesc");
        walktrace::text(node->driverName, "driverName");
        append(list, node);
        walktrace::tag("eadwg X");
    }
}

void clearInterfaceList(InterfaceList& list) {
    walktrace::tag("cdl 00");
    if (platform::isValidHandle(list.deviceInfoSet)) platform::SetupDiDestroyDeviceInfoList(list.deviceInfoSet);
    list.deviceInfoSet = platform::invalidHandle();
    while (list.first != nullptr) {
        InterfaceNode* node = list.first;
        list.first = node->next;
        releaseInterfaceNode(node);
    }
    list.last = nullptr;
    walktrace::tag("cdl 01");
}

void releaseInterfaceNode(InterfaceNode*& node) {
    walktrace::tag("FDIN00");
    if (node == nullptr) return;
    platform::HeapFreeBlock(node->interfaceDetail);
    platform::HeapFreeBlock(node->deviceDesc);
    platform::HeapFreeBlock(node->driverName);
    platform::HeapFreeBlock(node);
    node = nullptr;
    walktrace::tag("FDIN01");
}

InterfaceNode* findInterfaceNode(const char* driverKey, uint8_t isHub) {
    walktrace::tag("Fmdnfdn00");
    const InterfaceList& list = isHub != 0 ? hubInterfaceList : deviceInterfaceList;
    for (InterfaceNode* node = list.first; node != nullptr; node = node->next) {
        if (equalsNoCase(node->driverName, driverKey)) {
            walktrace::tag("Fmdnfdn01");
            return node;
        }
    }
    walktrace::tag("Fmdnfdn02");
    return nullptr;
}
