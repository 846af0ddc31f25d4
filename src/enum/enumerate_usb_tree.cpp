// The top of the USB topology walk: every present host controller, opened
// by its interface path, described, and its root hub walked.
#include "enum/enumerate_usb_tree.h"

#include "enum/host_controller.h"
#include "enum/interface_lists.h"
#include "enum/interface_paths.h"
#include "enum/narrow_text.h"
#include "enum/walk_state.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "platform/usb_requests.h"
#include "trace/trace_log.h"
#include "trace/trace_points.h"

DeviceWalk deviceWalk = enumerateUsbTree;

namespace {

enum class Visit { Next, Stop };

// Traces the controller's path in narrow form; the copy serves only the trace.
void traceControllerPath(const char16_t* path) {
    if (!TraceLog::enabled()) return;
    size_t units = 0;
    while (path[units] != 0) ++units;
    char* narrow = narrowCopy(path, units + 1);
    tracepoint::text(narrow, "hcPath");
    platform::HeapFreeBlock(narrow);
}

// The controller at index i of the set. Stop when its interface cannot be
// read, which ends the visit of all further controllers.
Visit visitController(platform::DevInfoSet set, uint32_t index, platform::SpDevinfoData* device) {
    const platform::Guid& hostControllerClass = platform::kGuidDevinterfaceUsbHostController;
    platform::SpDeviceInterfaceData interface{};
    interface.cbSize = sizeof interface;
    if (!platform::SetupDiEnumDeviceInterfaces(set, nullptr, &hostControllerClass, index, &interface)) {
        tracepoint::tag("Ea06!");
        return Visit::Stop;
    }
    uint32_t required = 0;
    bool answered = platform::SetupDiGetDeviceInterfaceDetailW(set, &interface, nullptr, 0, &required, nullptr);
    uint32_t error = platform::GetLastError();
    if (!answered && error != platform::kErrorInsufficientBuffer && error != platform::kErrorAlreadyExists) {
        tracepoint::tag("Ea07!");
        tracepoint::code(error);
        return Visit::Stop;
    }
    platform::SpDeviceInterfaceDetailDataW* detail = allocateInterfaceDetail(required);
    if (detail == nullptr) {
        tracepoint::tag("Ea09!");
        return Visit::Stop;
    }
    if (!platform::SetupDiGetDeviceInterfaceDetailW(set, &interface, detail, required, nullptr, nullptr)) {
        tracepoint::tag("Ea011!");
        platform::HeapFreeBlock(detail);
        return Visit::Stop;
    }
    tracepoint::tag("Ea12");
    platform::Handle hostController =
        platform::CreateFileW(detail->DevicePath, platform::kGenericWrite, platform::kFileShareWrite, nullptr,
                              platform::kOpenExisting, 0, nullptr);
    if (platform::isValidHandle(hostController)) {
        traceControllerPath(detail->DevicePath);
        enumerateHostController(hostController, set, device);
        platform::CloseHandle(hostController);
        tracepoint::tag("Ea15");
    } else {
        uint32_t error = platform::GetLastError();  // before the trace file's append sets another
        tracepoint::tag("Ea13!");
        tracepoint::code(error);
    }
    platform::HeapFreeBlock(detail);
    return Visit::Next;
}

}  // namespace

EnumerationResult* enumerateUsbTree(DeviceFilter* filter) {
    tracepoint::tag("Ea01");
    auto* result = static_cast<EnumerationResult*>(platform::HeapAllocZero(sizeof(EnumerationResult)));
    if (result == nullptr) {
        tracepoint::tag("Ea02!");
        return nullptr;
    }
    currentResult = result;
    result->id = 0;
    result->deviceCount = 0;
    result->filter = nullptr;
    result->firstEntry = nullptr;
    result->next = nullptr;
    activeFilter = filter;

    tracepoint::tag("Ea03");
    releaseWalkState();
    buildInterfaceLists();

    tracepoint::tag("Ea05");
    platform::DevInfoSet set =
        platform::SetupDiGetClassDevsW(&platform::kGuidDevinterfaceUsbHostController, nullptr, nullptr,
                                       platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    if (platform::isValidHandle(set)) {
        platform::SpDevinfoData device{};
        for (uint32_t index = 0;; ++index) {
            device.cbSize = sizeof device;
            if (!platform::SetupDiEnumDeviceInfo(set, index, &device)) break;
            if (visitController(set, index, &device) == Visit::Stop) break;
        }
        tracepoint::tag("Ea18");
        platform::SetupDiDestroyDeviceInfoList(set);
    }
    tracepoint::tag("Ea19");
    return result;
}
