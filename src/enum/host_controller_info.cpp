#include "enum/host_controller_info.h"

#include <cstring>

#include "platform/kernel.h"

HostControllerList hostControllerList = {nullptr, nullptr};

void appendHostController(HostControllerList& list, HostControllerInfo* info) {
    info->next = nullptr;
    info->previous = list.last;
    if (list.last == nullptr)
        list.first = info;
    else
        list.last->next = info;
    list.last = info;
}

bool hasHostControllerDriverKey(const HostControllerList& list, const char* driverKey) {
    for (const HostControllerInfo* info = list.first; info != nullptr; info = info->next)
        if (info->driverKey != nullptr && std::strcmp(info->driverKey, driverKey) == 0) return true;
    return false;
}

void releaseHostControllerInfo(HostControllerInfo*& info) {
    if (info == nullptr) return;
    platform::HeapFreeBlock(info->driverKey);
    platform::HeapFreeBlock(info->controllerInfo);
    releaseDeviceProperties(info->UsbDeviceProperties);
    platform::HeapFreeBlock(info);
    info = nullptr;
}

void clearHostControllerList(HostControllerList& list) {
    while (list.first != nullptr) {
        HostControllerInfo* info = list.first;
        list.first = info->next;
        releaseHostControllerInfo(info);
    }
    list.last = nullptr;
}
