// Opening paths of the simulated machine and the buffered I/O controls sent
// to what was opened.
#include "platform/usb_requests.h"

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "platform/sim/devices/device_runtime.h"
#include "platform/sim/devices/driver_answers.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/io/io_state.h"
#include "platform/sim/model/text.h"
#include "platform/sim/os/usb_handles.h"

namespace sim {
namespace {

struct ShareRecord {
    const UsbOpenObject* owner;
    uint32_t access;
    uint32_t shareMode;
};

struct ShareTable {
    std::mutex lock;
    std::map<std::string, std::vector<ShareRecord>> opens;  // by identity
};

ShareTable& shares() {
    static ShareTable* t = new ShareTable;
    return *t;
}

constexpr uint32_t kReadAccess = platform::kGenericRead;
constexpr uint32_t kWriteAccess = platform::kGenericWrite;

// The rule of the Windows I/O manager: a new open must share what every
// existing open does, and every existing open must share what the new one
// does.
bool conflicts(const ShareRecord& existing, uint32_t access, uint32_t shareMode) {
    if ((access & kReadAccess) && !(existing.shareMode & platform::kFileShareRead)) return true;
    if ((access & kWriteAccess) && !(existing.shareMode & platform::kFileShareWrite)) return true;
    if ((existing.access & kReadAccess) && !(shareMode & platform::kFileShareRead)) return true;
    if ((existing.access & kWriteAccess) && !(shareMode & platform::kFileShareWrite)) return true;
    return false;
}

std::string hex(uint64_t value) {
    std::ostringstream s;
    s << "0x" << std::hex << value;
    return s.str();
}

// How opens of one object of the machine exclude each other.
struct SharingRules {
    bool ignored = false;    // host controllers and hubs take every open
    bool exclusive = false;  // one open at a time, whatever the share mode
    std::optional<OtherProgramOpen> held;  // another program's open
};

SharingRules sharingRulesOf(const Target& target) {
    SharingRules rules;
    switch (target.kind) {
        case TargetKind::Controller:
        case TargetKind::Hub:
            // Share modes bind only where the driver checks them: the I/O
            // manager leaves that to file systems and highest-level drivers
            // that call IoCheckShareAccess (Microsoft Learn,
            // IoCheckShareAccess), and a device that is not exclusive takes
            // any number of opens. Wine's server hands the share mode to the
            // driver's create request and checks none itself
            // (server/device.c, device_open_file), so the Wine desk's hubs
            // and controllers take every open as here.
            rules.ignored = true;
            break;
        case TargetKind::Device:
            // "WinUSB functions allow one application at a time to
            // communicate with the device" (Microsoft Learn, "Windows desktop
            // app for a USB device"); the I/O manager refuses a second handle
            // to an exclusive device with STATUS_ACCESS_DENIED, error 5,
            // whatever either asked to share (Microsoft Learn, "Specifying
            // Exclusive Access to Device Objects": "only one handle to the
            // device can be open at a time").
            rules.exclusive = drivenByWinUsb(*target.device);
            rules.held = target.device->heldOpen;
            break;
        case TargetKind::HidInterface:
            rules.held = target.hid->heldOpen;
            break;
    }
    return rules;
}

platform::Handle openPath(const char* operation, const std::string& path, uint32_t access, uint32_t shareMode,
                          uint32_t disposition, uint32_t flags) {
    if (failHere(operation, path + " access=" + hex(access) + " share=" + hex(shareMode) + " flags=" + hex(flags)))
        return platform::invalidHandle();
    if (disposition != platform::kOpenExisting) {
        platform::SetLastError(platform::kErrorAccessDenied);
        return platform::invalidHandle();
    }
    auto object = std::make_shared<UsbOpenObject>();
    SharingRules rules;
    {
        LockedMachine locked;
        const Target* target = locked.index().find(path);
        if (target == nullptr) {
            platform::SetLastError(platform::kErrorFileNotFound);
            return platform::invalidHandle();
        }
        if (uint32_t error = target->openError()) {
            platform::SetLastError(error);
            return platform::invalidHandle();
        }
        rules = sharingRulesOf(*target);
        // The system opens keyboards and mice exclusively for itself; others
        // may open them only without read or write access (Microsoft Learn,
        // "HID Clients Supported in Windows": keyboards and mice).
        if (target->kind == TargetKind::HidInterface && target->hid->keyboardOrMouse &&
            (access & (kReadAccess | kWriteAccess)) != 0) {
            platform::SetLastError(platform::kErrorAccessDenied);
            return platform::invalidHandle();
        }
        object->kind = target->kind;
        object->identity = target->identity;
        object->endpoint = endpointFor(*target);
    }
    object->path = path;
    object->access = access;
    object->shareMode = shareMode;
    object->flags = flags;
    if (!rules.ignored) {
        std::lock_guard<std::mutex> guard(shares().lock);
        std::vector<ShareRecord>& records = shares().opens[object->identity];
        uint32_t error = platform::kErrorSuccess;
        if (rules.exclusive) {
            if (!records.empty() || rules.held) error = platform::kErrorAccessDenied;
        } else {
            if (rules.held && conflicts({nullptr, rules.held->access, rules.held->shareMode}, access, shareMode))
                error = platform::kErrorSharingViolation;
            for (const ShareRecord& record : records)
                if (conflicts(record, access, shareMode)) error = platform::kErrorSharingViolation;
        }
        if (error != platform::kErrorSuccess) {
            if (records.empty()) shares().opens.erase(object->identity);
            platform::SetLastError(error);
            return platform::invalidHandle();
        }
        records.push_back({object.get(), access, shareMode});
    }
    platform::SetLastError(platform::kErrorSuccess);
    return openHandle(object);
}

}  // namespace

void UsbOpenObject::onClose() {
    FileObject::onClose();  // pending reads and writes are cancelled first
    std::lock_guard<std::mutex> guard(shares().lock);
    auto it = shares().opens.find(identity);
    if (it == shares().opens.end()) return;
    std::vector<ShareRecord>& records = it->second;
    for (auto r = records.begin(); r != records.end(); ++r) {
        if (r->owner == this) {
            records.erase(r);
            break;
        }
    }
    if (records.empty()) shares().opens.erase(it);
}

std::shared_ptr<UsbOpenObject> findUsbOpen(platform::Handle handle) { return findHandleAs<UsbOpenObject>(handle); }

const Target* targetOf(LockedMachine& machine, const UsbOpenObject& open) {
    const Target* target = machine.index().find(open.path);
    if (target != nullptr && target->identity == open.identity) return target;
    return machine.index().findIdentity(open.identity);
}

int openCountOf(const std::string& identity) {
    std::lock_guard<std::mutex> guard(shares().lock);
    auto it = shares().opens.find(identity);
    return it == shares().opens.end() ? 0 : static_cast<int>(it->second.size());
}

}  // namespace sim

namespace platform {

Handle CreateFileA(const char* path, uint32_t access, uint32_t shareMode, void*, uint32_t disposition,
                   uint32_t flags, Handle) {
    if (path == nullptr) {
        sim::failHere("CreateFileA", "(null)");
        SetLastError(kErrorInvalidParameter);
        return invalidHandle();
    }
    return sim::openPath("CreateFileA", path, access, shareMode, disposition, flags);
}

Handle CreateFileW(const char16_t* path, uint32_t access, uint32_t shareMode, void*, uint32_t disposition,
                   uint32_t flags, Handle) {
    if (path == nullptr) {
        sim::failHere("CreateFileW", "(null)");
        SetLastError(kErrorInvalidParameter);
        return invalidHandle();
    }
    return sim::openPath("CreateFileW", sim::utf16ToUtf8(path), access, shareMode, disposition, flags);
}

bool DeviceIoControl(Handle device, uint32_t code, void* inBuffer, uint32_t inSize, void* outBuffer,
                     uint32_t outSize, uint32_t* bytesReturned, Overlapped* overlapped) {
    // Hub and controller requests end while the call runs. With an
    // OVERLAPPED, Internal reads STATUS_PENDING from the start; a request
    // that succeeds writes its status and count there and signals the event,
    // one that fails leaves both alone (Wine dlls/kernelbase/file.c
    // DeviceIoControl, dlls/ntdll/unix/file.c NtDeviceIoControlFile).
    sim::markPending(overlapped);
    std::shared_ptr<sim::UsbOpenObject> open = sim::findUsbOpen(device);
    // The port or the request the call is about, for the journal.
    std::string summary = sim::requestName(code, open ? open->kind : sim::TargetKind::Device);
    if (inBuffer != nullptr && inSize >= 4 && open && open->kind == sim::TargetKind::Hub &&
        code != kIoctlUsbGetNodeInformation) {
        uint32_t port = 0;
        std::memcpy(&port, inBuffer, 4);
        summary += " port=" + std::to_string(port);
    }
    summary += " in=" + std::to_string(inSize) + " out=" + std::to_string(outSize);
    // A failing call leaves *bytesReturned as the caller had it: the count
    // is written only for a status that is no error (Wine
    // dlls/kernelbase/file.c DeviceIoControl: "if (returned &&
    // !NT_ERROR(status)) *returned = piosb->Information").
    if (sim::failHere("DeviceIoControl", summary)) return false;
    if (!open) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    if ((inBuffer == nullptr && inSize != 0) || (outBuffer == nullptr && outSize != 0)) {
        SetLastError(sim::kErrorInvalidUserBuffer);
        return false;
    }

    sim::BufferedRequest request;
    request.inSize = inSize;
    request.outSize = outSize;
    request.system.assign(inSize > outSize ? inSize : outSize, 0);
    if (inSize != 0) std::memcpy(request.system.data(), inBuffer, inSize);

    uint32_t error;
    {
        sim::LockedMachine locked;
        const sim::Target* target = sim::targetOf(locked, *open);
        if (target == nullptr) {
            error = kErrorDeviceNotConnected;
        } else if (target->kind == sim::TargetKind::Controller) {
            error = sim::answerControllerRequest(*target->controller, code, request);
        } else if (target->kind == sim::TargetKind::Hub) {
            error = sim::answerHubRequest(*target->hub, locked.index(), code, request);
        } else {
            error = sim::kErrorInvalidFunction;
        }
    }
    // ERROR_MORE_DATA is the driver's warning STATUS_BUFFER_OVERFLOW: its
    // answer still goes back, and the call then fails with 234 (the I/O
    // manager copies the output of any status that is no error, Wine
    // dlls/ntoskrnl.exe/ntoskrnl.c dispatch_irp_completion; DeviceIoControl
    // writes the count and returns FALSE for a status that is no success,
    // dlls/kernelbase/file.c; dlls/ntdll/error.c maps the status to 234).
    bool warning = error == sim::kErrorMoreData;
    if (error != 0 && !warning) {
        SetLastError(error);
        return false;
    }
    // What the driver says it returned is reported as it is; what is copied
    // back never exceeds the output buffer (Wine server/device.c
    // set_irp_result cuts the data at the caller's output size).
    uint32_t copy = request.bytesReturned < outSize ? request.bytesReturned : outSize;
    if (copy != 0) std::memcpy(outBuffer, request.system.data(), copy);
    if (bytesReturned != nullptr) *bytesReturned = request.bytesReturned;
    if (overlapped != nullptr)
        sim::completeAtOnce(overlapped, request.bytesReturned, warning ? error : 0);
    if (warning) {
        SetLastError(error);
        return false;
    }
    return true;
}

}  // namespace platform
