#include "tamberlyx_dll.h"

#include "child_tasks.h"
#include "platform/files.h"
#include "platform/kernel.h"

namespace {

template <typename Entry>
bool resolve(platform::Module module, const char* method, Entry* entry, std::string* problem) {
    std::string name = std::string("Java_com_vantorel_kestra_comm_KESTRACommUSBAccess_") + method;
    *entry = reinterpret_cast<Entry>(platform::GetProcAddress(module, name.c_str()));
    if (*entry == nullptr && problem->empty()) *problem = "no export named " + name;
    return *entry != nullptr;
}

}  // namespace

bool TamberlyxDll::load(std::string* problem) {
    problem->clear();
    std::string path = programDirectory() + "Tamberlyx.dll";
    module = platform::LoadLibraryA(path.c_str());
    if (module == nullptr) {
        *problem = path + " does not load, error " + std::to_string(platform::GetLastError());
        return false;
    }
#define RESOLVE(name) resolve(module, #name, &name, problem)
    bool all = RESOLVE(usbInitialize) & RESOLVE(usbRelease) & RESOLVE(usbCreateDeviceList) &
               RESOLVE(usbUpdateDeviceList) & RESOLVE(usbReleaseDeviceList) & RESOLVE(usbGetDeviceListCount) &
               RESOLVE(usbGetDeviceInfo) & RESOLVE(usbGetChangeInfo) & RESOLVE(usbOpenDevice) &
               RESOLVE(usbCloseDevice) & RESOLVE(usbResetDevice) & RESOLVE(usbWriteControlPipe) &
               RESOLVE(usbReadControlPipe) & RESOLVE(usbWriteBulkPipe) & RESOLVE(usbReadBulkPipe) &
               RESOLVE(usbWriteInterruptPipe) & RESOLVE(usbReadInterruptPipe) & RESOLVE(usbCancelPipeTransfer) &
               RESOLVE(usbGetDeviceDescriptor);
#undef RESOLVE
    return all;
}

TamberlyxDll* tamberlyx(std::string* problem) {
    static TamberlyxDll dll;
    static std::string loadProblem;
    static bool loaded = dll.load(&loadProblem);
    *problem = loadProblem;
    return loaded ? &dll : nullptr;
}
