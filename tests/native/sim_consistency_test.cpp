// The built-in bench seen only through the platform calls, the way the
// walk sees it: every driver key a controller or hub reports names exactly
// one present device, every hub name opens, and the interface sets pair
// each device with its interface path.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/setupapi.h"
#include "platform/sim/model/bench.h"
#include "sim_fixture.h"

using namespace testsupport;

namespace {

// SPDRP_DRIVER -> (service, interface paths) of every present device, read
// through SetupAPI.
struct Registry {
    std::map<std::string, std::string> serviceByDriver;
    std::map<std::string, int> devicesByDriver;
    std::map<std::string, std::string> pathByDriver[2];  // device interfaces, hub interfaces
};

std::string readProperty(platform::DevInfoSet set, platform::SpDevinfoData* d, uint32_t code) {
    uint32_t size = 0;
    platform::SetupDiGetDeviceRegistryPropertyA(set, d, code, nullptr, nullptr, 0, &size);
    if (platform::GetLastError() != platform::kErrorInsufficientBuffer) return "";
    std::vector<char> text(size, 0);
    if (!platform::SetupDiGetDeviceRegistryPropertyA(set, d, code, nullptr, reinterpret_cast<uint8_t*>(text.data()),
                                                     size, nullptr))
        return "";
    return text.data();
}

void readInterfaces(const platform::Guid& cls, std::map<std::string, std::string>* pathByDriver) {
    platform::DevInfoSet set = platform::SetupDiGetClassDevsW(&cls, nullptr, nullptr, 0x12);
    for (uint32_t i = 0;; ++i) {
        platform::SpDevinfoData d{};
        d.cbSize = 32;
        if (!platform::SetupDiEnumDeviceInfo(set, i, &d)) {
            EXPECT_EQ(platform::GetLastError(), platform::kErrorNoMoreItems);
            break;
        }
        platform::SpDeviceInterfaceData itf{};
        itf.cbSize = 32;
        ASSERT_TRUE(platform::SetupDiEnumDeviceInterfaces(set, nullptr, &cls, i, &itf));
        uint32_t size = 0;
        platform::SetupDiGetDeviceInterfaceDetailW(set, &itf, nullptr, 0, &size, nullptr);
        std::vector<uint8_t> buffer(size, 0);
        reinterpret_cast<platform::SpDeviceInterfaceDetailDataW*>(buffer.data())->cbSize = 8;
        ASSERT_TRUE(platform::SetupDiGetDeviceInterfaceDetailW(
            set, &itf, reinterpret_cast<platform::SpDeviceInterfaceDetailDataW*>(buffer.data()), size, nullptr, nullptr));
        std::u16string path = textAt(buffer, 4);
        (*pathByDriver)[readProperty(set, &d, platform::kSpdrpDriver)] = std::string(path.begin(), path.end());
    }
    platform::SetupDiDestroyDeviceInfoList(set);
}

Registry readRegistry() {
    Registry r;
    platform::DevInfoSet all = platform::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, 6);
    platform::SpDevinfoData d{};
    d.cbSize = 32;
    for (uint32_t i = 0; platform::SetupDiEnumDeviceInfo(all, i, &d); ++i) {
        std::string driver = readProperty(all, &d, platform::kSpdrpDriver);
        ++r.devicesByDriver[driver];
        r.serviceByDriver[driver] = readProperty(all, &d, platform::kSpdrpService);
    }
    platform::SetupDiDestroyDeviceInfoList(all);
    readInterfaces(platform::kGuidDevinterfaceUsbDevice, &r.pathByDriver[0]);
    readInterfaces(platform::kGuidDevinterfaceUsbHub, &r.pathByDriver[1]);
    return r;
}

// The name a name request answers, asked in the walk's two steps.
std::string askName(platform::Handle h, uint32_t code, uint32_t port) {
    uint32_t fixed = port == 0 ? 4 : 8;
    std::vector<uint8_t> first(fixed + 2, 0);
    std::memcpy(first.data(), &port, port == 0 ? 0 : 4);
    Answer a = request(h, code, first);
    if (!a.ok) return "";
    std::vector<uint8_t> second(u32At(a.buffer, fixed - 4) + (port == 0 ? 0 : 10), 0);
    std::memcpy(second.data(), &port, port == 0 ? 0 : 4);
    Answer b = request(h, code, second);
    std::u16string text = textAt(b.buffer, fixed);
    return std::string(text.begin(), text.end());
}

class BuiltInBench : public SimulatedMachineTest {
protected:
    void SetUp() override { install(sim::defaultBench()); }

    void walkHub(const std::string& name, const Registry& r) {
        platform::Handle hub = openForRequests("\\\\.\\" + name);
        ASSERT_TRUE(platform::isValidHandle(hub)) << name;
        Answer node = request(hub, platform::kIoctlUsbGetNodeInformation, std::vector<uint8_t>(76, 0));
        ASSERT_TRUE(node.ok);
        for (uint32_t port = 1; port <= node.buffer[6]; ++port) {
            std::vector<uint8_t> buffer(365, 0);
            std::memcpy(buffer.data(), &port, 4);
            auto info = recordAt<platform::UsbNodeConnectionInformationEx>(
                request(hub, platform::kIoctlUsbGetNodeConnectionInformationEx, buffer).buffer);
            if (copyOf(info.ConnectionStatus) == platform::kNoDeviceConnected) continue;
            std::string key = askName(hub, platform::kIoctlUsbGetNodeConnectionDriverkeyName, port);
            EXPECT_EQ(r.devicesByDriver.count(key) ? r.devicesByDriver.at(key) : 0, 1) << key;
            bool isHub = info.DeviceIsHub != 0;
            EXPECT_EQ(r.pathByDriver[isHub ? 1 : 0].count(key), 1u) << key;
            if (isHub) {
                walkHub(askName(hub, platform::kIoctlUsbGetNodeConnectionName, port), r);
            } else if (!r.serviceByDriver.at(key).empty()) {
                listed.push_back(static_cast<uint32_t>(copyOf(info.DeviceDescriptor.idVendor)) << 16 |
                                 copyOf(info.DeviceDescriptor.idProduct));
            }
        }
        platform::CloseHandle(hub);
    }

    std::vector<uint32_t> listed;  // vendor << 16 | product of each device with a service
};

TEST_F(BuiltInBench, EveryReportedNameLeadsToExactlyOneDevice) {
    Registry r = readRegistry();
    std::map<std::string, std::string> controllers;
    readInterfaces(platform::kGuidDevinterfaceUsbHostController, &controllers);
    EXPECT_EQ(controllers.size(), 2u);
    for (const auto& c : controllers) {
        std::u16string wide(c.second.begin(), c.second.end());
        platform::Handle hc = platform::CreateFileW(wide.c_str(), platform::kGenericWrite, platform::kFileShareWrite,
                                                    nullptr, platform::kOpenExisting, 0, nullptr);
        ASSERT_TRUE(platform::isValidHandle(hc));
        EXPECT_EQ(askName(hc, platform::kIoctlGetHcdDriverkeyName, 0), c.first);
        walkHub(askName(hc, platform::kIoctlUsbGetRootHubName, 0), r);
        platform::CloseHandle(hc);
    }
    // WinUSB, HID, two languages, composite, mass storage, "é", no strings.
    EXPECT_EQ(listed.size(), 7u);
    EXPECT_EQ(std::set<uint32_t>(listed.begin(), listed.end()).size(), listed.size());
}

}  // namespace
