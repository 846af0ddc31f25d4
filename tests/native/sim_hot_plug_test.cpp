// Plugging and unplugging while a program runs: through the builder API and
// by rewriting the bench file, with the notifications a listening window
// gets.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/text.h"
#include "platform/windowing.h"
#include "transfer_fixture.h"

using namespace platform;

namespace {

struct Notice {
    uintptr_t event;
    Guid interfaceClass;
    std::string path;
};

std::mutex noticesLock;
std::vector<Notice> notices;

intptr_t listeningProcedure(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == kWmDeviceChange) {
        Notice notice{wParam, {}, ""};
        if (lParam != 0) {
            auto* header = reinterpret_cast<const DevBroadcastDeviceInterfaceW*>(lParam);
            notice.interfaceClass = header->dbcc_classguid;
            size_t units = (header->dbcc_size - offsetof(DevBroadcastDeviceInterfaceW, dbcc_name)) / 2;
            notice.path = sim::utf16ToUtf8(std::u16string(header->dbcc_name, units - 1));
        }
        std::lock_guard<std::mutex> guard(noticesLock);
        notices.push_back(notice);
        return 1;
    }
    if (message == kWmDestroy) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden window registered for USB device interfaces, with its loop on a
// thread of its own.
class Listener {
public:
    Listener() {
        sim::forgetWindowClasses();
        WndClassExW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &listeningProcedure;
        windowClass.lpszClassName = u"HotPlugListener";
        RegisterClassExW(&windowClass);
        std::atomic<bool> ready{false};
        thread_ = std::thread([this, &ready] {
            window_ = CreateWindowExA(0, "HotPlugListener", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
            DevBroadcastDeviceInterfaceW filter{};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = kDbtDevtypDeviceInterface;
            filter.dbcc_classguid = kGuidDevinterfaceUsbDevice;
            registration_ = RegisterDeviceNotificationW(window_, &filter, kDeviceNotifyWindowHandle);
            ready = true;
            Msg message{};
            while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        });
        while (!ready) std::this_thread::yield();
        std::lock_guard<std::mutex> guard(noticesLock);
        notices.clear();
    }
    ~Listener() {
        UnregisterDeviceNotification(registration_);
        PostMessageW(window_, kWmClose, 0, 0);
        thread_.join();
    }
    // The notices with a device-interface header (not DBT_DEVNODES_CHANGED).
    std::vector<Notice> interfaceNotices() {
        std::lock_guard<std::mutex> guard(noticesLock);
        std::vector<Notice> out;
        for (const Notice& n : notices)
            if (n.event != kDbtDevNodesChanged) out.push_back(n);
        return out;
    }
    bool waitForInterfaceNotices(size_t n) {
        for (int i = 0; i < 300; ++i) {
            if (interfaceNotices().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    std::thread thread_;
    Hwnd window_ = nullptr;
    Notification registration_ = nullptr;
};

std::string benchWithPorts(const std::string& ports) {
    return R"({"controllers": [{"rootHub": {"portCount": 4, "ports": {)" + ports + "}}}]}";
}
const std::string kLoopOnPort1 =
    R"("1": {"vendorId": "0x1A2B", "productId": "0x0001", "serialNumber": "L1", "kind": "winusb"})";
const std::string kPadOnPort2 =
    R"("2": {"vendorId": "0x1A2B", "productId": "0x0002", "serialNumber": "P2", "kind": "hid"})";

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
}

size_t presentUsbDevices() {
    DevInfoSet set = SetupDiGetClassDevsW(&kGuidDevinterfaceUsbDevice, nullptr, nullptr,
                                          kDigcfPresent | kDigcfDeviceInterface);
    size_t n = 0;
    SpDeviceInterfaceData data{};
    data.cbSize = sizeof data;
    while (SetupDiEnumDeviceInterfaces(set, nullptr, &kGuidDevinterfaceUsbDevice, static_cast<uint32_t>(n), &data)) ++n;
    SetupDiDestroyDeviceInfoList(set);
    return n;
}

std::string tempBench(const char* name) {
    return ::testing::TempDir() + "/" + name + "-" + std::to_string(::getpid()) + ".json";
}

}  // namespace

TEST(SimulatedHotPlug, BuilderPlugAndUnplugNotifyRegisteredWindows) {
    testsupport::TwoDeviceMachine twoDevices;
    Listener listener;
    sim::Device loop2 = sim::DeviceBuilder(0x1A2B, 0x0003).serialNumber("L2").winUsb().build();
    ASSERT_TRUE(sim::plugDevice({0, 3}, loop2));
    ASSERT_TRUE(listener.waitForInterfaceNotices(1));
    ASSERT_TRUE(sim::unplugDevice({0, 1}));
    ASSERT_TRUE(listener.waitForInterfaceNotices(2));

    std::vector<Notice> seen = listener.interfaceNotices();
    ASSERT_EQ(seen.size(), 2u) << "only USB device interfaces: no HID, hub or controller classes";
    EXPECT_EQ(seen[0].event, kDbtDeviceArrival);
    EXPECT_EQ(seen[0].path, loop2.usbInterface.path);
    EXPECT_TRUE(seen[0].interfaceClass == kGuidDevinterfaceUsbDevice);
    EXPECT_EQ(seen[1].event, kDbtDeviceRemoveComplete);
    EXPECT_EQ(seen[1].path, twoDevices.winUsb);
    EXPECT_FALSE(sim::unplugDevice({0, 1})) << "nothing left on the port";
    EXPECT_FALSE(sim::plugDevice({0, 9}, loop2)) << "no such port";
}

TEST(SimulatedHotPlug, RewrittenBenchFileIsSeenByTheNextWalkAndNotified) {
    sim::clearFaults();
    std::string path = tempBench("hot-plug");
    writeFile(path, benchWithPorts(kLoopOnPort1));
    std::string error;
    ASSERT_TRUE(sim::watchBenchFile(path, &error)) << error;
    EXPECT_EQ(presentUsbDevices(), 1u);
    {
        Listener listener;
        writeFile(path, benchWithPorts(kLoopOnPort1 + "," + kPadOnPort2));
        EXPECT_EQ(presentUsbDevices(), 2u) << "a walk right after the rewrite";
        ASSERT_TRUE(listener.waitForInterfaceNotices(1));
        std::vector<Notice> seen = listener.interfaceNotices();
        EXPECT_EQ(seen[0].event, kDbtDeviceArrival);
        sim::Machine now = sim::machineCopy();
        EXPECT_NE(sim::findDevice(now, 0x1A2B, 0x0002), nullptr);

        // Without any walk: the watch notices the file within its interval.
        writeFile(path, benchWithPorts(kPadOnPort2));
        ASSERT_TRUE(listener.waitForInterfaceNotices(2));
        EXPECT_EQ(listener.interfaceNotices()[1].event, kDbtDeviceRemoveComplete);

        // A bench with an error keeps the machine as it was, and nothing is sent.
        writeFile(path, "{\"controllers\": [ {\"rootHub\": 5 ");
        EXPECT_FALSE(sim::checkBenchFile());
        EXPECT_EQ(presentUsbDevices(), 1u);
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        EXPECT_EQ(listener.interfaceNotices().size(), 2u);
    }
    EXPECT_FALSE(sim::watchBenchFile(path, &error));
    EXPECT_NE(error.find("hot-plug"), std::string::npos) << error;
    sim::unwatchBenchFile();
    std::remove(path.c_str());
}
