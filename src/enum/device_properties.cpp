#include "enum/device_properties.h"

#include <cstring>

#include "enum/bounded_text.h"
#include "enum/text_compare.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "trace/trace_points.h"

namespace {

// Texts read from the registry get one zero byte more than the system
// asked for, so a value stored without its terminator still ends inside
// its buffer.
constexpr size_t kTerminatorSpare = 1;

void releaseText(char*& text) {
    platform::HeapFreeBlock(text);
    text = nullptr;
}

// The instance id, read with room for the reported size plus one.
bool readInstanceId(platform::DevInfoSet set, platform::SpDevinfoData* device, char** text) {
    uint32_t required = 0;
    bool answered = platform::SetupDiGetDeviceInstanceIdA(set, device, nullptr, 0, &required);
    if (answered && platform::GetLastError() != platform::kErrorInsufficientBuffer) {
        tracepoint::tag("Dntodp07!");
        return false;
    }
    if (required >= 0xFFFFFFFEu) return false;
    uint32_t size = required + 1;
    *text = static_cast<char*>(platform::HeapAllocZero(size_t{size} + kTerminatorSpare));
    if (*text == nullptr) {
        tracepoint::tag("Dntodp09!");
        return false;
    }
    if (!platform::SetupDiGetDeviceInstanceIdA(set, device, *text, size, nullptr)) {
        tracepoint::tag("Dntodp11!");
        return false;
    }
    return true;
}

}  // namespace

int readRegistryProperty(platform::DevInfoSet set, platform::SpDevinfoData* device, uint32_t property,
                         char** text) {
    if (text == nullptr) return 0;
    *text = nullptr;
    uint32_t required = 0;
    bool answered = platform::SetupDiGetDeviceRegistryPropertyA(set, device, property, nullptr, nullptr, 0, &required);
    uint32_t error = platform::GetLastError();
    if (required == 0 || (answered && error != platform::kErrorInsufficientBuffer)) return 0;
    auto* buffer = static_cast<uint8_t*>(platform::HeapAllocZero(size_t{required} + kTerminatorSpare));
    if (buffer == nullptr) return 0;
    if (!platform::SetupDiGetDeviceRegistryPropertyA(set, device, property, nullptr, buffer, required, nullptr)) {
        platform::HeapFreeBlock(buffer);
        return 0;
    }
    *text = reinterpret_cast<char*>(buffer);
    return 1;
}

int findDeviceByDriverKey(const char* driverKey, size_t length, platform::DevInfoSet* set,
                          platform::SpDevinfoData* device) {
    if (set == nullptr || device == nullptr) return 0;
    std::memset(device, 0, sizeof *device);
    *set = platform::invalidHandle();
    tracepoint::tag("Dntodi01");
    if (driverKey == nullptr) return 0;

    auto* wanted = static_cast<char*>(platform::HeapAllocZero(length + 1));
    if (wanted == nullptr) return 0;
    boundedCopy(wanted, length + 1, driverKey, length);

    platform::DevInfoSet all = platform::SetupDiGetClassDevsW(nullptr, nullptr, nullptr,
                                                              platform::kDigcfPresent | platform::kDigcfAllClasses);
    if (!platform::isValidHandle(all)) {
        platform::HeapFreeBlock(wanted);
        return 0;
    }
    bool found = false;
    platform::SpDevinfoData candidate{};
    for (uint32_t i = 0; !found; ++i) {
        std::memset(&candidate, 0, sizeof candidate);
        candidate.cbSize = sizeof candidate;
        if (!platform::SetupDiEnumDeviceInfo(all, i, &candidate)) break;
        char* driver = nullptr;
        if (readRegistryProperty(all, &candidate, platform::kSpdrpDriver, &driver) == 1 &&
            equalsNoCase(driver, wanted)) {
            found = true;
            tracepoint::tag("Dntodi02");
            *set = all;
            *device = candidate;
        }
        releaseText(driver);
    }
    if (!found) {
        tracepoint::tag("Dntodi03");
        platform::SetupDiDestroyDeviceInfoList(all);
    }
    platform::HeapFreeBlock(wanted);
    return found ? 1 : 0;
}

UsbDeviceProperties* getDeviceProperties(const char* driverKey, size_t length) {
    tracepoint::tag("Dntodp01");
    auto* properties = static_cast<UsbDeviceProperties*>(platform::HeapAllocZero(sizeof(UsbDeviceProperties)));
    if (properties == nullptr) {
        tracepoint::tag("DevProps==null");
        return nullptr;
    }
    platform::DevInfoSet set = platform::invalidHandle();
    platform::SpDevinfoData device{};
    bool ok = findDeviceByDriverKey(driverKey, length, &set, &device) == 1;
    if (!ok) tracepoint::tag("Dntodp04!");
    if (ok) ok = readInstanceId(set, &device, &properties->InstanceId);
    if (ok) {
        ok = readRegistryProperty(set, &device, platform::kSpdrpDeviceDesc, &properties->Description) == 1;
        if (!ok) tracepoint::tag("Dntodp13!");
    }
    if (ok) {
        tracepoint::tag("Dntodp15");
        readRegistryProperty(set, &device, platform::kSpdrpHardwareId, &properties->HardwareId);
        readRegistryProperty(set, &device, platform::kSpdrpService, &properties->Service);
        readRegistryProperty(set, &device, platform::kSpdrpClass, &properties->SetupClass);
    }
    if (platform::isValidHandle(set)) platform::SetupDiDestroyDeviceInfoList(set);
    if (!ok) {
        releaseDeviceProperties(properties);
        tracepoint::tag("DevProps==null");
        return nullptr;
    }
    tracepoint::tag("Dntodp20");
    return properties;
}

void releaseDeviceProperties(UsbDeviceProperties*& properties) {
    tracepoint::tag("FDP0");
    if (properties == nullptr) return;
    releaseText(properties->InstanceId);
    releaseText(properties->Description);
    releaseText(properties->HardwareId);
    releaseText(properties->Service);
    releaseText(properties->SetupClass);
    releaseText(properties->Spare);
    platform::HeapFreeBlock(properties);
    properties = nullptr;
    tracepoint::tag("FDP1");
}
