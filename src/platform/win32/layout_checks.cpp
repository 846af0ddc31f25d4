// The portable records cross the boundary by address: each must have the
// size and field offsets of the system record it stands for.
#include <cstddef>
#include <type_traits>

#include "platform/windowing.h"
#include "platform/win32/windows_api.h"
#include "platform/winusb.h"

#include <usb.h>
#include <usbioctl.h>
#include <usbuser.h>
#include <winusb.h>

namespace {

using namespace platform;

#define SAME_SIZE(ours, theirs) static_assert(sizeof(ours) == sizeof(theirs), #ours " has the size of " #theirs)
#define SAME_OFFSET(ours, theirs, ourField, theirField)                   \
    static_assert(offsetof(ours, ourField) == offsetof(theirs, theirField), \
                  #ours "." #ourField " lies where " #theirs "." #theirField " does")

// Handles and plain values
static_assert(sizeof(Handle) == sizeof(HANDLE) && sizeof(Hwnd) == sizeof(HWND), "handles");
static_assert(sizeof(Module) == sizeof(HMODULE) && sizeof(Notification) == sizeof(HDEVNOTIFY), "handles");
static_assert(sizeof(intptr_t) == sizeof(LRESULT) && sizeof(uintptr_t) == sizeof(WPARAM), "message words");

SAME_SIZE(Guid, GUID);
SAME_OFFSET(Guid, GUID, Data4, Data4);

SAME_SIZE(SpDevinfoData, SP_DEVINFO_DATA);
SAME_OFFSET(SpDevinfoData, SP_DEVINFO_DATA, ClassGuid, ClassGuid);
SAME_OFFSET(SpDevinfoData, SP_DEVINFO_DATA, DevInst, DevInst);
SAME_OFFSET(SpDevinfoData, SP_DEVINFO_DATA, Reserved, Reserved);

SAME_SIZE(SpDeviceInterfaceData, SP_DEVICE_INTERFACE_DATA);
SAME_OFFSET(SpDeviceInterfaceData, SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid, InterfaceClassGuid);
SAME_OFFSET(SpDeviceInterfaceData, SP_DEVICE_INTERFACE_DATA, Flags, Flags);
SAME_OFFSET(SpDeviceInterfaceData, SP_DEVICE_INTERFACE_DATA, Reserved, Reserved);

SAME_SIZE(SpDeviceInterfaceDetailDataW, SP_DEVICE_INTERFACE_DETAIL_DATA_W);
SAME_OFFSET(SpDeviceInterfaceDetailDataW, SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath, DevicePath);

SAME_SIZE(Overlapped, OVERLAPPED);
SAME_OFFSET(Overlapped, OVERLAPPED, InternalHigh, InternalHigh);
SAME_OFFSET(Overlapped, OVERLAPPED, Offset, Offset);
SAME_OFFSET(Overlapped, OVERLAPPED, OffsetHigh, OffsetHigh);
SAME_OFFSET(Overlapped, OVERLAPPED, hEvent, hEvent);

SAME_SIZE(HiddAttributes, HIDD_ATTRIBUTES);
SAME_OFFSET(HiddAttributes, HIDD_ATTRIBUTES, VendorID, VendorID);
SAME_OFFSET(HiddAttributes, HIDD_ATTRIBUTES, ProductID, ProductID);
SAME_OFFSET(HiddAttributes, HIDD_ATTRIBUTES, VersionNumber, VersionNumber);

SAME_SIZE(WndClassExW, WNDCLASSEXW);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, style, style);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, lpfnWndProc, lpfnWndProc);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, cbClsExtra, cbClsExtra);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, cbWndExtra, cbWndExtra);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, hInstance, hInstance);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, hIcon, hIcon);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, hCursor, hCursor);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, hbrBackground, hbrBackground);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, lpszMenuName, lpszMenuName);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, lpszClassName, lpszClassName);
SAME_OFFSET(WndClassExW, WNDCLASSEXW, hIconSm, hIconSm);

SAME_SIZE(Msg, MSG);
SAME_OFFSET(Msg, MSG, message, message);
SAME_OFFSET(Msg, MSG, wParam, wParam);
SAME_OFFSET(Msg, MSG, lParam, lParam);
SAME_OFFSET(Msg, MSG, time, time);
SAME_OFFSET(Msg, MSG, ptX, pt);

SAME_SIZE(DevBroadcastDeviceInterfaceW, DEV_BROADCAST_DEVICEINTERFACE_W);
SAME_OFFSET(DevBroadcastDeviceInterfaceW, DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_devicetype, dbcc_devicetype);
SAME_OFFSET(DevBroadcastDeviceInterfaceW, DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid, dbcc_classguid);
SAME_OFFSET(DevBroadcastDeviceInterfaceW, DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name, dbcc_name);

// USB records of the host-controller and hub drivers
SAME_SIZE(UsbDeviceDescriptor, USB_DEVICE_DESCRIPTOR);
SAME_OFFSET(UsbDeviceDescriptor, USB_DEVICE_DESCRIPTOR, idVendor, idVendor);
SAME_OFFSET(UsbDeviceDescriptor, USB_DEVICE_DESCRIPTOR, iSerialNumber, iSerialNumber);
SAME_SIZE(UsbEndpointDescriptor, USB_ENDPOINT_DESCRIPTOR);
SAME_SIZE(UsbPipeInfo, USB_PIPE_INFO);
// The system record ends in a zero-length pipe array; ours has room for 30.
static_assert(sizeof(UsbNodeConnectionInformationEx) ==
                  sizeof(USB_NODE_CONNECTION_INFORMATION_EX) + kConnectionInfoPipes * sizeof(USB_PIPE_INFO),
              "connection information with 30 pipes");
SAME_OFFSET(UsbNodeConnectionInformationEx, USB_NODE_CONNECTION_INFORMATION_EX, DeviceDescriptor, DeviceDescriptor);
SAME_OFFSET(UsbNodeConnectionInformationEx, USB_NODE_CONNECTION_INFORMATION_EX, DeviceIsHub, DeviceIsHub);
SAME_OFFSET(UsbNodeConnectionInformationEx, USB_NODE_CONNECTION_INFORMATION_EX, DeviceAddress, DeviceAddress);
SAME_OFFSET(UsbNodeConnectionInformationEx, USB_NODE_CONNECTION_INFORMATION_EX, ConnectionStatus,
            ConnectionStatus);
SAME_OFFSET(UsbNodeConnectionInformationEx, USB_NODE_CONNECTION_INFORMATION_EX, PipeList, PipeList);
SAME_OFFSET(UsbNodeConnectionInformationEx, USB_NODE_CONNECTION_INFORMATION, ConnectionStatus, ConnectionStatus);
SAME_SIZE(UsbHubDescriptor, USB_HUB_DESCRIPTOR);
SAME_SIZE(UsbNodeInformation, USB_NODE_INFORMATION);
SAME_OFFSET(UsbNodeInformation, USB_NODE_INFORMATION, HubDescriptor, u.HubInformation.HubDescriptor);
SAME_SIZE(UsbSetupPacket, USB_DESCRIPTOR_REQUEST::SetupPacket);
SAME_OFFSET(UsbDescriptorRequest, USB_DESCRIPTOR_REQUEST, Data, Data);
SAME_OFFSET(UsbActualLengthName, USB_ROOT_HUB_NAME, Name, RootHubName);
SAME_OFFSET(UsbActualLengthName, USB_HCD_DRIVERKEY_NAME, Name, DriverKeyName);
SAME_OFFSET(UsbConnectionName, USB_NODE_CONNECTION_NAME, ActualLength, ActualLength);
SAME_OFFSET(UsbConnectionName, USB_NODE_CONNECTION_NAME, Name, NodeName);
SAME_OFFSET(UsbConnectionName, USB_NODE_CONNECTION_DRIVERKEY_NAME, Name, DriverKeyName);
SAME_SIZE(UsbUserRequestHeader, USBUSER_REQUEST_HEADER);
SAME_SIZE(UsbPowerInfo, USB_POWER_INFO);
SAME_SIZE(UsbUserPowerInfoRequest, USBUSER_POWER_INFO_REQUEST);
SAME_OFFSET(UsbUserPowerInfoRequest, USBUSER_POWER_INFO_REQUEST, PowerInformation, PowerInformation);
SAME_SIZE(UsbControllerInfo0, USB_CONTROLLER_INFO_0);

// WinUSB, reached only through addresses resolved at run time
SAME_SIZE(WinUsbSetupPacket, WINUSB_SETUP_PACKET);
SAME_OFFSET(WinUsbSetupPacket, WINUSB_SETUP_PACKET, Value, Value);
SAME_OFFSET(WinUsbSetupPacket, WINUSB_SETUP_PACKET, Length, Length);
static_assert(kPipeTransferTimeout == PIPE_TRANSFER_TIMEOUT, "PIPE_TRANSFER_TIMEOUT");

// An entry point's type must pass what the system's prototype takes: the
// same number of parameters, each (and the result) of the same size and
// kind, and pointers to things of the same size. The spellings differ
// (ULONG is unsigned long here, uint32_t unsigned int), the calls do not.
template <typename Ours, typename Theirs>
constexpr bool passedAlike() {
    if constexpr (std::is_pointer_v<Ours> != std::is_pointer_v<Theirs>) {
        return false;
    } else if constexpr (std::is_pointer_v<Ours>) {
        using OurTarget = std::remove_pointer_t<Ours>;
        using TheirTarget = std::remove_pointer_t<Theirs>;
        if constexpr (std::is_void_v<OurTarget> || std::is_void_v<TheirTarget>)
            return std::is_void_v<OurTarget> == std::is_void_v<TheirTarget>;
        else
            return sizeof(OurTarget) == sizeof(TheirTarget);
    } else {
        return sizeof(Ours) == sizeof(Theirs) && std::is_integral_v<Ours> == std::is_integral_v<Theirs> &&
               std::is_signed_v<Ours> == std::is_signed_v<Theirs>;
    }
}

template <typename Ours, typename Theirs>
struct SameCall : std::false_type {};
template <typename OurResult, typename... OurParameters, typename TheirResult, typename... TheirParameters>
struct SameCall<OurResult (*)(OurParameters...), TheirResult (*)(TheirParameters...)>
    : std::bool_constant<sizeof...(OurParameters) == sizeof...(TheirParameters) &&
                         passedAlike<OurResult, TheirResult>() &&
                         (passedAlike<OurParameters, TheirParameters>() && ...)> {};

#define SAME_CALL(ours, theirs) \
    static_assert(SameCall<ours, decltype(&theirs)>::value, #ours " calls " #theirs " as its prototype says")
SAME_CALL(WinUsbInitializeFn, WinUsb_Initialize);
SAME_CALL(WinUsbQueryDeviceInformationFn, WinUsb_QueryDeviceInformation);
SAME_CALL(WinUsbGetDescriptorFn, WinUsb_GetDescriptor);
SAME_CALL(WinUsbReadPipeFn, WinUsb_ReadPipe);
SAME_CALL(WinUsbWritePipeFn, WinUsb_WritePipe);
SAME_CALL(WinUsbSetPipePolicyFn, WinUsb_SetPipePolicy);
SAME_CALL(WinUsbFreeFn, WinUsb_Free);
SAME_CALL(WinUsbAbortPipeFn, WinUsb_AbortPipe);
SAME_CALL(WinUsbControlTransferFn, WinUsb_ControlTransfer);
#undef SAME_CALL
SAME_SIZE(UsbUserControllerInfo0, USBUSER_CONTROLLER_INFO_0);

// Constants the library spells itself
static_assert(kIoctlUsbUserRequest == IOCTL_USB_USER_REQUEST, "IOCTL_USB_USER_REQUEST");
static_assert(kIoctlGetHcdDriverkeyName == IOCTL_GET_HCD_DRIVERKEY_NAME, "IOCTL_GET_HCD_DRIVERKEY_NAME");
static_assert(kIoctlUsbGetRootHubName == IOCTL_USB_GET_ROOT_HUB_NAME, "IOCTL_USB_GET_ROOT_HUB_NAME");
static_assert(kIoctlUsbGetNodeInformation == IOCTL_USB_GET_NODE_INFORMATION, "IOCTL_USB_GET_NODE_INFORMATION");
static_assert(kIoctlUsbGetNodeConnectionInformationEx == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX,
              "IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX");
static_assert(kIoctlUsbGetNodeConnectionInformation == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION,
              "IOCTL_USB_GET_NODE_CONNECTION_INFORMATION");
static_assert(kIoctlUsbGetNodeConnectionName == IOCTL_USB_GET_NODE_CONNECTION_NAME,
              "IOCTL_USB_GET_NODE_CONNECTION_NAME");
static_assert(kIoctlUsbGetNodeConnectionDriverkeyName == IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME,
              "IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME");
static_assert(kIoctlUsbGetDescriptorFromNodeConnection == IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION,
              "IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION");
static_assert(kUsbUserGetControllerInfo0 == USBUSER_GET_CONTROLLER_INFO_0, "USBUSER_GET_CONTROLLER_INFO_0");
static_assert(kUsbUserGetPowerStateMap == USBUSER_GET_POWER_STATE_MAP, "USBUSER_GET_POWER_STATE_MAP");
static_assert(kWdmUsbPowerSystemWorking == WdmUsbPowerSystemWorking, "WdmUsbPowerSystemWorking");
static_assert(kWdmUsbPowerSystemShutdown == WdmUsbPowerSystemShutdown, "WdmUsbPowerSystemShutdown");
static_assert(kNoDeviceConnected == NoDeviceConnected && kDeviceConnected == DeviceConnected, "connection status");

static_assert(kDigcfPresent == DIGCF_PRESENT && kDigcfAllClasses == DIGCF_ALLCLASSES &&
                  kDigcfDeviceInterface == DIGCF_DEVICEINTERFACE,
              "SetupAPI flags");
static_assert(kSpdrpDeviceDesc == SPDRP_DEVICEDESC && kSpdrpHardwareId == SPDRP_HARDWAREID &&
                  kSpdrpService == SPDRP_SERVICE && kSpdrpClass == SPDRP_CLASS && kSpdrpDriver == SPDRP_DRIVER &&
                  kSpdrpBusNumber == SPDRP_BUSNUMBER && kSpdrpAddress == SPDRP_ADDRESS,
              "SetupAPI registry properties");

static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorInvalidHandle == ERROR_INVALID_HANDLE && kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY &&
                  kErrorGenFailure == ERROR_GEN_FAILURE && kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorHandleEof == ERROR_HANDLE_EOF && kErrorNotSupported == ERROR_NOT_SUPPORTED &&
                  kErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
                  kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER && kErrorModNotFound == ERROR_MOD_NOT_FOUND &&
                  kErrorProcNotFound == ERROR_PROC_NOT_FOUND && kErrorAlreadyExists == ERROR_ALREADY_EXISTS &&
                  kErrorSemTimeout == ERROR_SEM_TIMEOUT && kErrorNoMoreItems == ERROR_NO_MORE_ITEMS &&
                  kErrorOperationAborted == ERROR_OPERATION_ABORTED && kErrorIoIncomplete == ERROR_IO_INCOMPLETE &&
                  kErrorIoPending == ERROR_IO_PENDING &&
                  kErrorDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED &&
                  kErrorClassAlreadyExists == ERROR_CLASS_ALREADY_EXISTS,
              "error codes");

static_assert(kGenericRead == GENERIC_READ && kGenericWrite == GENERIC_WRITE && kFileShareRead == FILE_SHARE_READ &&
                  kFileShareWrite == FILE_SHARE_WRITE && kOpenExisting == OPEN_EXISTING &&
                  kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL && kFileFlagOverlapped == FILE_FLAG_OVERLAPPED,
              "file open flags");
static_assert(kWaitObject0 == WAIT_OBJECT_0 && kWaitTimeout == WAIT_TIMEOUT && kWaitFailed == WAIT_FAILED &&
                  kInfinite == INFINITE,
              "wait results");
static_assert(kCpUtf8 == CP_UTF8, "CP_UTF8");

static_assert(kWmCreate == WM_CREATE && kWmDestroy == WM_DESTROY && kWmClose == WM_CLOSE && kWmQuit == WM_QUIT &&
                  kWmDeviceChange == WM_DEVICECHANGE,
              "window messages");
static_assert(kDbtDeviceArrival == DBT_DEVICEARRIVAL && kDbtDeviceQueryRemove == DBT_DEVICEQUERYREMOVE &&
                  kDbtDeviceRemoveComplete == DBT_DEVICEREMOVECOMPLETE && kDbtDevNodesChanged == DBT_DEVNODES_CHANGED &&
                  kDbtDevtypDeviceInterface == DBT_DEVTYP_DEVICEINTERFACE &&
                  kDeviceNotifyWindowHandle == DEVICE_NOTIFY_WINDOW_HANDLE,
              "device-change events");

#undef SAME_SIZE
#undef SAME_OFFSET

}  // namespace
