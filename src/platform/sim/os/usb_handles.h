// Open controllers, hubs, devices and HID interfaces of the simulated
// machine: what CreateFileA/W hand out for a path of the machine. Share
// modes are honoured across every handle open on one object.
#pragma once

#include <memory>
#include <string>

#include "platform/sim/io/handles.h"
#include "platform/sim/model/machine_store.h"
#include "platform/sim/io/overlapped_io.h"

namespace sim {

struct UsbOpenObject : FileObject {
    TargetKind kind = TargetKind::Device;
    std::string identity;  // the object in the machine (Target::identity)
    std::string path;      // as it was opened
    uint32_t access = 0;
    uint32_t shareMode = 0;
    uint32_t flags = 0;    // FILE_FLAG_OVERLAPPED and the attributes given
    uint32_t fileAccess() const override { return access; }
    uint32_t fileFlags() const override { return flags; }
    void onClose() override;
};

// The open object behind a handle, or null when the handle is not one.
std::shared_ptr<UsbOpenObject> findUsbOpen(platform::Handle handle);

// The object an open handle refers to in the installed machine, or null
// when it is no longer there.
const Target* targetOf(LockedMachine& machine, const UsbOpenObject& open);

// How many handles are open on an object of the machine.
int openCountOf(const std::string& identity);

}  // namespace sim
