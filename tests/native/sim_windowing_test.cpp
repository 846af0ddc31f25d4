// Windows of the simulated machine: classes, creation, message loops on
// their own threads, messages sent from other threads, device
// notifications, and threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/sim/control/sim_control.h"
#include "platform/usb_requests.h"
#include "platform/windowing.h"

using namespace platform;

namespace {

constexpr uint32_t kWmUser = 0x0400;

// What the test window procedures saw, shared with the test's thread.
struct Seen {
    std::mutex lock;
    std::vector<uint32_t> messages;
    std::vector<std::thread::id> threads;
    void add(uint32_t message) {
        std::lock_guard<std::mutex> guard(lock);
        messages.push_back(message);
        threads.push_back(std::this_thread::get_id());
    }
    bool has(uint32_t message) {
        std::lock_guard<std::mutex> guard(lock);
        for (uint32_t m : messages)
            if (m == message) return true;
        return false;
    }
};
Seen seen;
std::atomic<int> createAnswer{0};

intptr_t recordingProcedure(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    seen.add(message);
    if (message == kWmCreate) return createAnswer.load();
    if (message == kWmUser) return static_cast<intptr_t>(wParam * 2);
    if (message == kWmDestroy) {
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

uint16_t registerClass(const char16_t* name, WindowProcedure procedure = &recordingProcedure) {
    WndClassExW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass);
}

// A window with its message loop on a thread of its own, as the monitor has.
struct WindowThread {
    std::thread thread;
    std::atomic<Hwnd> window{nullptr};
    std::atomic<int32_t> loopEnd{99};
    std::atomic<uintptr_t> quitCode{0};
    std::atomic<bool> ready{false};

    explicit WindowThread(const char* className) {
        thread = std::thread([this, className] {
            window = CreateWindowExA(0, className, "hidden", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
            ready = true;
            if (window.load() == nullptr) return;
            Msg message{};
            int32_t result;
            while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            loopEnd = result;
            quitCode = message.wParam;
        });
        while (!ready) std::this_thread::yield();
    }
    void close() {
        if (window.load() != nullptr) PostMessageW(window, kWmClose, 0, 0);
        thread.join();
    }
};

class SimulatedWindows : public ::testing::Test {
protected:
    void SetUp() override {
        sim::clearFaults();
        sim::forgetWindowClasses();
        createAnswer = 0;
        std::lock_guard<std::mutex> guard(seen.lock);
        seen.messages.clear();
        seen.threads.clear();
    }
};

}  // namespace

TEST_F(SimulatedWindows, ClassRegisteredTwiceIsRefused) {
    EXPECT_NE(registerClass(u"TestClass"), 0);
    EXPECT_EQ(registerClass(u"testclass"), 0) << "class names compare without case";
    EXPECT_EQ(GetLastError(), kErrorClassAlreadyExists);
    WndClassExW wrongSize{};
    wrongSize.cbSize = 48;
    wrongSize.lpfnWndProc = &recordingProcedure;
    wrongSize.lpszClassName = u"Other";
    EXPECT_EQ(RegisterClassExW(&wrongSize), 0);
}

TEST_F(SimulatedWindows, CreationDeliversCreateInsideTheCallAndMinusOneRefusesIt) {
    registerClass(u"Creating");
    sim::Counts before = sim::openCounts();
    createAnswer = -1;
    EXPECT_EQ(CreateWindowExA(0, "Creating", "w", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_TRUE(seen.has(kWmCreate));
    EXPECT_TRUE(seen.has(kWmDestroy)) << "a refused window is destroyed";
    EXPECT_EQ(sim::openCounts().windows, before.windows);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "w", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), 1407u);

    // A procedure that answers 0 to WM_NCCREATE instead of passing it on
    // gets no window.
    registerClass(u"Careless", [](Hwnd, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
    EXPECT_EQ(CreateWindowExA(0, "Careless", "w", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);

    // Messages posted to the calling thread are served by its loop; WM_QUIT
    // comes after them.
    createAnswer = 0;
    Hwnd window = CreateWindowExA(0, "Creating", "w", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(sim::openCounts().windows, before.windows + 1);
    EXPECT_EQ(FindWindowA("CREATING", nullptr), window);
    PostMessageW(window, kWmUser, 1, 0);
    EXPECT_TRUE(DestroyWindow(window));  // WM_DESTROY posts quit 7
    Msg message{};
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), 0) << "messages for a destroyed window are dropped";
    EXPECT_EQ(message.message, kWmQuit);
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(sim::openCounts().windows, before.windows);
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(SimulatedWindows, SendFromAnotherThreadBlocksUntilTheOwnersLoopHandlesIt) {
    registerClass(u"Looping");
    WindowThread owner("Looping");
    ASSERT_NE(owner.window.load(), nullptr);
    EXPECT_EQ(SendMessageW(owner.window, kWmUser, 21, 0), 42);
    {
        std::lock_guard<std::mutex> guard(seen.lock);
        ASSERT_FALSE(seen.threads.empty());
        EXPECT_EQ(seen.threads.back(), owner.thread.get_id()) << "handled on the owner's thread";
    }
    EXPECT_FALSE(DestroyWindow(owner.window)) << "another thread's window";
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    owner.close();  // WM_CLOSE -> DefWindowProcW -> DestroyWindow -> WM_DESTROY -> quit
    EXPECT_EQ(owner.loopEnd.load(), 0);
    EXPECT_EQ(owner.quitCode.load(), 7u);
    EXPECT_EQ(FindWindowA("Looping", nullptr), nullptr);
}

TEST_F(SimulatedWindows, WindowsOfAnEndedThreadAreGone) {
    registerClass(u"Abandoned");
    sim::Counts before = sim::openCounts();
    Hwnd window = nullptr;
    std::thread([&] {
        window = CreateWindowExA(0, "Abandoned", "w", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }).join();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(sim::openCounts().windows, before.windows);
    EXPECT_EQ(SendMessageW(window, kWmUser, 1, 0), 0) << "nobody to answer: no wait";
}

TEST_F(SimulatedWindows, DeviceNotificationsReachRegisteredWindowsOnly) {
    registerClass(u"Listening");
    WindowThread listener("Listening");
    WindowThread bystander("Listening");
    sim::Counts before = sim::openCounts();

    // A class of the test's own, so that windows other tests leave behind
    // in this process do not count.
    const Guid testClass = {0x5EC0DE01, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
    DevBroadcastDeviceInterfaceW filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = kDbtDevtypDeviceInterface;
    filter.dbcc_classguid = testClass;
    Notification registration = RegisterDeviceNotificationW(listener.window, &filter, kDeviceNotifyWindowHandle);
    ASSERT_NE(registration, nullptr);
    EXPECT_EQ(sim::openCounts().notifications, before.notifications + 1);

    EXPECT_EQ(sim::broadcastDeviceInterfaceChange(kDbtDeviceArrival, testClass, "\\\\?\\test#x"), 1u);
    EXPECT_EQ(sim::broadcastDeviceInterfaceChange(kDbtDeviceArrival, kGuidDevinterfaceHid, "\\\\?\\hid#x"), 0u)
        << "another interface class";
    EXPECT_GE(sim::broadcastDevNodesChanged(), 2u) << "every top-level window";
    EXPECT_TRUE(sim::waitForBroadcastsHandled(2000));

    EXPECT_TRUE(UnregisterDeviceNotification(registration));
    EXPECT_FALSE(UnregisterDeviceNotification(registration));
    EXPECT_EQ(sim::broadcastDeviceInterfaceChange(kDbtDeviceArrival, testClass, "x"), 0u);

    sim::failNthCall("RegisterDeviceNotificationW", 1, kErrorNotEnoughMemory);
    EXPECT_EQ(RegisterDeviceNotificationW(listener.window, &filter, kDeviceNotifyWindowHandle), nullptr);
    EXPECT_EQ(GetLastError(), kErrorNotEnoughMemory);
    filter.dbcc_size = 16;
    EXPECT_EQ(RegisterDeviceNotificationW(listener.window, &filter, kDeviceNotifyWindowHandle), nullptr);
    EXPECT_EQ(sim::openCounts().notifications, before.notifications);

    listener.close();
    bystander.close();
    int deviceChanges = 0;
    for (uint32_t m : seen.messages) deviceChanges += m == kWmDeviceChange;
    EXPECT_EQ(deviceChanges, 3) << "one arrival, two node changes";
}

TEST(SimulatedThreads, CountedWhileRunningWaitableAndRefusable) {
    sim::clearFaults();
    sim::Counts before = sim::openCounts();
    static std::atomic<bool> release{false};
    release = false;
    uint32_t id = 0;
    Handle thread = CreateThread(
        nullptr, 0,
        [](void*) -> uint32_t {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0;
        },
        nullptr, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(sim::openCounts().threads, before.threads + 1);
    EXPECT_EQ(WaitForSingleObject(thread, 20), kWaitTimeout);
    release = true;
    EXPECT_EQ(WaitForSingleObject(thread, 2000), kWaitObject0);
    for (int i = 0; i < 100 && sim::openCounts().threads != before.threads; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    CloseHandle(thread);
    EXPECT_EQ(sim::openCounts(), before) << sim::describe(sim::openCounts());

    sim::failNthCall("CreateThread", 1, kErrorNotEnoughMemory);
    EXPECT_EQ(CreateThread(nullptr, 0, [](void*) -> uint32_t { return 0; }, nullptr, 0, &id), nullptr);
    EXPECT_EQ(GetLastError(), kErrorNotEnoughMemory);
}
