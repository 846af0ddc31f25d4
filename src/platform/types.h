// Portable spellings of the Windows types and records that cross the
// operating-system boundary. Only platform/win32 includes Windows headers;
// everything else uses these, and their sizes are checked here because the
// library's behaviour depends on them byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// ---------------------------------------------------------------------------
// Handles
// ---------------------------------------------------------------------------
using Handle = void*;    // HANDLE
using DevInfoSet = void*; // HDEVINFO
using Hwnd = void*;      // HWND
using Module = void*;    // HMODULE / HINSTANCE
using Notification = void*; // HDEVNOTIFY

inline Handle invalidHandle() { return reinterpret_cast<Handle>(static_cast<intptr_t>(-1)); }
inline bool isValidHandle(Handle h) { return h != nullptr && h != invalidHandle(); }

// ---------------------------------------------------------------------------
// Error codes and constants the library relies on
// ---------------------------------------------------------------------------
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorSemTimeout = 121;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorOperationAborted = 995;
constexpr uint32_t kErrorIoIncomplete = 996;
constexpr uint32_t kErrorIoPending = 997;
constexpr uint32_t kErrorNoSuchDevice = 433;
constexpr uint32_t kErrorDeviceNotConnected = 1167;
constexpr uint32_t kErrorClassAlreadyExists = 1410;

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kFileShareRead = 0x1;
constexpr uint32_t kFileShareWrite = 0x2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr uint32_t kFileFlagOverlapped = 0x40000000u;

constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr uint32_t kInfinite = 0xFFFFFFFFu;

constexpr uint32_t kCpUtf8 = 65001;

// SetupAPI flags and registry property codes
constexpr uint32_t kDigcfPresent = 0x2;
constexpr uint32_t kDigcfAllClasses = 0x4;
constexpr uint32_t kDigcfDeviceInterface = 0x10;
constexpr uint32_t kSpdrpDeviceDesc = 0x00;
constexpr uint32_t kSpdrpHardwareId = 0x01;
constexpr uint32_t kSpdrpService = 0x04;
constexpr uint32_t kSpdrpClass = 0x07;
constexpr uint32_t kSpdrpDriver = 0x09;
constexpr uint32_t kSpdrpBusNumber = 0x15;
constexpr uint32_t kSpdrpAddress = 0x1C;

// USB host-controller and hub I/O control codes
constexpr uint32_t kIoctlUsbUserRequest = 0x220438;
constexpr uint32_t kIoctlGetHcdDriverkeyName = 0x220424;
constexpr uint32_t kIoctlUsbGetRootHubName = 0x220408;
constexpr uint32_t kIoctlUsbGetNodeInformation = 0x220408;
constexpr uint32_t kIoctlUsbGetNodeConnectionInformationEx = 0x220448;
constexpr uint32_t kIoctlUsbGetNodeConnectionInformation = 0x22040C;
constexpr uint32_t kIoctlUsbGetNodeConnectionName = 0x220414;
constexpr uint32_t kIoctlUsbGetNodeConnectionDriverkeyName = 0x220420;
constexpr uint32_t kIoctlUsbGetDescriptorFromNodeConnection = 0x220410;

constexpr uint32_t kUsbUserGetControllerInfo0 = 1;
constexpr uint32_t kUsbUserGetPowerStateMap = 4;
constexpr uint32_t kWdmUsbPowerSystemWorking = 101;
constexpr uint32_t kWdmUsbPowerSystemShutdown = 106;

// Connection status values of a hub port
constexpr uint32_t kNoDeviceConnected = 0;
constexpr uint32_t kDeviceConnected = 1;

// Window messages and device-change events
constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmDeviceChange = 0x0219;
constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceQueryRemove = 0x8001;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
constexpr uint32_t kDbtDevNodesChanged = 0x0007;
constexpr uint32_t kDbtDevtypDeviceInterface = 5;
constexpr uint32_t kDeviceNotifyWindowHandle = 0;

// WinUSB pipe policy
constexpr uint32_t kPipeTransferTimeout = 3;

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
struct Guid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(Guid) == 16, "GUID layout");

inline bool operator==(const Guid& a, const Guid& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

// Interface classes the walk asks for.
constexpr Guid kGuidDevinterfaceUsbHostController = {
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};
constexpr Guid kGuidDevinterfaceUsbHub = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};
constexpr Guid kGuidDevinterfaceUsbDevice = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr Guid kGuidFixedDeviceInterfaceClass = {
    0x58D07210, 0x27C1, 0x11DD, {0xBD, 0x0B, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};
// The class the HID library reports for HID interfaces.
constexpr Guid kGuidDevinterfaceHid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// SP_DEVINFO_DATA (cbSize 32 on 64-bit Windows)
struct SpDevinfoData {
    uint32_t cbSize;
    Guid ClassGuid;
    uint32_t DevInst;
    uintptr_t Reserved;
};

// SP_DEVICE_INTERFACE_DATA (cbSize 32)
struct SpDeviceInterfaceData {
    uint32_t cbSize;
    Guid InterfaceClassGuid;
    uint32_t Flags;
    uintptr_t Reserved;
};

// SP_DEVICE_INTERFACE_DETAIL_DATA_W (cbSize 8); DevicePath runs on past
// the end of the record into the rest of its allocation.
struct SpDeviceInterfaceDetailDataW {
    uint32_t cbSize;
    char16_t DevicePath[1];
};

// OVERLAPPED
struct Overlapped {
    uintptr_t Internal;
    uintptr_t InternalHigh;
    uint32_t Offset;
    uint32_t OffsetHigh;
    Handle hEvent;
};

// HIDD_ATTRIBUTES (Size 12)
struct HiddAttributes {
    uint32_t Size;
    uint16_t VendorID;
    uint16_t ProductID;
    uint16_t VersionNumber;
};

#pragma pack(push, 1)

// USB_DEVICE_DESCRIPTOR
struct UsbDeviceDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
};

// USB_ENDPOINT_DESCRIPTOR
struct UsbEndpointDescriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint8_t bEndpointAddress;
    uint8_t bmAttributes;
    uint16_t wMaxPacketSize;
    uint8_t bInterval;
};

// USB_PIPE_INFO
struct UsbPipeInfo {
    UsbEndpointDescriptor EndpointDescriptor;
    uint32_t ScheduleOffset;
};

constexpr int kConnectionInfoPipes = 30;

// USB_NODE_CONNECTION_INFORMATION_EX with room for 30 pipes. The legacy
// USB_NODE_CONNECTION_INFORMATION has the same layout (its Speed byte is
// the LowSpeed flag).
struct UsbNodeConnectionInformationEx {
    uint32_t ConnectionIndex;
    UsbDeviceDescriptor DeviceDescriptor;
    uint8_t CurrentConfigurationValue;
    uint8_t Speed;
    uint8_t DeviceIsHub;
    uint16_t DeviceAddress;
    uint32_t NumberOfOpenPipes;
    uint32_t ConnectionStatus;
    UsbPipeInfo PipeList[kConnectionInfoPipes];
};

// USB_HUB_DESCRIPTOR
struct UsbHubDescriptor {
    uint8_t bDescriptorLength;
    uint8_t bDescriptorType;
    uint8_t bNumberOfPorts;
    uint16_t wHubCharacteristics;
    uint8_t bPowerOnToPowerGood;
    uint8_t bHubControlCurrent;
    uint8_t bRemoveAndPowerMask[64];
};

// USB_NODE_INFORMATION (hub form of the union)
struct UsbNodeInformation {
    uint32_t NodeType;  // 0 = UsbHub, 1 = UsbMIParent
    UsbHubDescriptor HubDescriptor;
    uint8_t HubIsBusPowered;
};

// USB_DESCRIPTOR_REQUEST header; the descriptor follows it.
struct UsbSetupPacket {
    uint8_t bmRequest;
    uint8_t bRequest;
    uint16_t wValue;
    uint16_t wIndex;
    uint16_t wLength;
};
struct UsbDescriptorRequest {
    uint32_t ConnectionIndex;
    UsbSetupPacket SetupPacket;
    uint8_t Data[1];
};
constexpr uint32_t kDescriptorRequestHeaderSize = 12;

// USB_ROOT_HUB_NAME, USB_HCD_DRIVERKEY_NAME (6 bytes before the text)
struct UsbActualLengthName {
    uint32_t ActualLength;
    char16_t Name[1];
};
// USB_NODE_CONNECTION_NAME, USB_NODE_CONNECTION_DRIVERKEY_NAME (10 bytes)
struct UsbConnectionName {
    uint32_t ConnectionIndex;
    uint32_t ActualLength;
    char16_t Name[1];
};

// USBUSER_REQUEST_HEADER
struct UsbUserRequestHeader {
    uint32_t UsbUserRequest;
    uint32_t UsbUserStatusCode;
    uint32_t RequestBufferLength;
    uint32_t ActualBufferLength;
};
// USB_POWER_INFO
struct UsbPowerInfo {
    uint32_t SystemState;
    uint32_t HcDevicePowerState;
    uint32_t HcDeviceWake;
    uint32_t HcSystemWake;
    uint32_t RhDevicePowerState;
    uint32_t RhDeviceWake;
    uint32_t RhSystemWake;
    uint32_t LastSystemSleepState;
    uint8_t CanWakeup;
    uint8_t IsPowered;
};
// USBUSER_POWER_INFO_REQUEST
struct UsbUserPowerInfoRequest {
    UsbUserRequestHeader Header;
    UsbPowerInfo PowerInformation;
};
// USB_CONTROLLER_INFO_0
struct UsbControllerInfo0 {
    uint32_t PciVendorId;
    uint32_t PciDeviceId;
    uint32_t PciRevision;
    uint32_t NumberOfRootPorts;
    uint32_t ControllerFlavor;
    uint32_t HcFeatureFlags;
};
// USBUSER_CONTROLLER_INFO_0
struct UsbUserControllerInfo0 {
    UsbUserRequestHeader Header;
    UsbControllerInfo0 Info0;
};

// WINUSB_SETUP_PACKET
struct WinUsbSetupPacket {
    uint8_t RequestType;
    uint8_t Request;
    uint16_t Value;
    uint16_t Index;
    uint16_t Length;
};

#pragma pack(pop)

// DEV_BROADCAST_DEVICEINTERFACE_W (size 32)
struct DevBroadcastDeviceInterfaceW {
    uint32_t dbcc_size;
    uint32_t dbcc_devicetype;
    uint32_t dbcc_reserved;
    Guid dbcc_classguid;
    char16_t dbcc_name[1];
};

// The setup packet's bmRequest bit for device-to-host transfers.
constexpr uint8_t kRequestDeviceToHost = 0x80;

static_assert(sizeof(SpDevinfoData) == 32, "SP_DEVINFO_DATA cbSize");
static_assert(sizeof(SpDeviceInterfaceData) == 32, "SP_DEVICE_INTERFACE_DATA cbSize");
static_assert(sizeof(SpDeviceInterfaceDetailDataW) == 8, "SP_DEVICE_INTERFACE_DETAIL_DATA_W cbSize");
static_assert(offsetof(SpDeviceInterfaceDetailDataW, DevicePath) == 4, "DevicePath offset");
static_assert(sizeof(Overlapped) == 32, "OVERLAPPED");
static_assert(sizeof(HiddAttributes) == 12, "HIDD_ATTRIBUTES Size");
static_assert(sizeof(UsbDeviceDescriptor) == 18, "device descriptor");
static_assert(sizeof(UsbPipeInfo) == 11, "USB_PIPE_INFO");
static_assert(sizeof(UsbNodeConnectionInformationEx) == 365, "connection information");
static_assert(offsetof(UsbNodeConnectionInformationEx, ConnectionStatus) == 31, "ConnectionStatus");
static_assert(sizeof(UsbNodeInformation) == 76, "node information");
static_assert(offsetof(UsbNodeInformation, HubDescriptor) + offsetof(UsbHubDescriptor, bNumberOfPorts) == 6,
              "bNumberOfPorts offset");
static_assert(sizeof(UsbSetupPacket) == 8, "setup packet");
static_assert(offsetof(UsbDescriptorRequest, Data) == kDescriptorRequestHeaderSize, "descriptor request header");
static_assert(offsetof(UsbActualLengthName, Name) == 4 && sizeof(UsbActualLengthName) == 6, "name record");
static_assert(offsetof(UsbConnectionName, Name) == 8 && sizeof(UsbConnectionName) == 10, "connection name");
static_assert(sizeof(UsbPowerInfo) == 34, "USB_POWER_INFO");
static_assert(sizeof(UsbUserPowerInfoRequest) == 50, "USBUSER_POWER_INFO_REQUEST");
static_assert(sizeof(UsbControllerInfo0) == 24, "USB_CONTROLLER_INFO_0");
static_assert(sizeof(UsbUserControllerInfo0) == 40, "USBUSER_CONTROLLER_INFO_0");
static_assert(sizeof(WinUsbSetupPacket) == 8, "WINUSB_SETUP_PACKET");
static_assert(sizeof(DevBroadcastDeviceInterfaceW) == 32, "DEV_BROADCAST_DEVICEINTERFACE_W");

}  // namespace platform
