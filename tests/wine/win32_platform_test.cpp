// The real platform layer under Wine: each service reaches the system with
// the records and results the library relies on.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "child_tasks.h"
#include "platform/crt.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/kernel.h"
#include "platform/setupapi.h"
#include "platform/spawn.h"
#include "platform/usb_requests.h"
#include "platform/windowing.h"

namespace {

using namespace platform;

constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kWmUser = 0x0400;

TEST(Win32Kernel, HeapModulesAndTextConversion) {
    auto* block = static_cast<unsigned char*>(HeapAllocZero(256));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(block[i], 0);
    HeapFreeBlock(block);
    HeapFreeBlock(nullptr);

    // A whole path clears the last error; a cut one says so.
    char path[260] = {};
    SetLastError(kErrorAccessDenied);
    uint32_t length = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(GetLastError(), kErrorSuccess);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_NE(std::string(path).find("tamberlyx_wine_tests.exe"), std::string::npos) << path;
    char shortPath[6] = {};
    EXPECT_EQ(GetModuleFileNameA(nullptr, shortPath, sizeof shortPath), sizeof shortPath);
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(shortPath[5], '\0');

    EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleA(nullptr));
    EXPECT_EQ(GetModuleHandleA("no-such-module.dll"), nullptr);

    // "a", e-acute, a character outside the basic plane, and the end.
    const char* text = "a\xC3\xA9\xF0\x9F\x98\x80";
    ASSERT_EQ(MultiByteToWideChar(kCpUtf8, 0, text, -1, nullptr, 0), 5);
    char16_t wide[5] = {};
    ASSERT_EQ(MultiByteToWideChar(kCpUtf8, 0, text, -1, wide, 5), 5);
    EXPECT_EQ(std::u16string(wide, 4), u"a\u00E9\U0001F600");
    EXPECT_EQ(wide[4], 0);
    EXPECT_EQ(MultiByteToWideChar(kCpUtf8, 0, text, -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
}

TEST(Win32Kernel, WinUsbLoadsAtRunTime) {
    Module winUsb = LoadLibraryA("winusb.dll");
    ASSERT_NE(winUsb, nullptr);
    EXPECT_NE(GetProcAddress(winUsb, "WinUsb_Initialize"), nullptr);
    EXPECT_NE(GetProcAddress(winUsb, "WinUsb_ControlTransfer"), nullptr);
    EXPECT_EQ(GetProcAddress(winUsb, "WinUsb_NoSuchEntry"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorProcNotFound);
    EXPECT_TRUE(FreeLibrary(winUsb));
    EXPECT_EQ(LoadLibraryA("no-such-library.dll"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorModNotFound);
}

uint32_t recordAndSignal(void* parameter) {
    auto* state = static_cast<std::pair<int, Handle>*>(parameter);
    state->first = 42;
    SetEvent(state->second);
    return 7;
}

TEST(Win32Kernel, ThreadsEventsAndWaits) {
    Handle autoReset = CreateEventW(nullptr, false, false, nullptr);
    ASSERT_NE(autoReset, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoReset, 10), kWaitTimeout);
    EXPECT_TRUE(SetEvent(autoReset));
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), kWaitObject0);
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), kWaitTimeout);

    std::pair<int, Handle> state{0, autoReset};
    uint32_t threadId = 0;
    Handle thread = CreateThread(nullptr, 0, recordAndSignal, &state, 0, &threadId);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(threadId, 0u);
    EXPECT_EQ(WaitForSingleObject(autoReset, 5000), kWaitObject0);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), kWaitObject0);
    EXPECT_EQ(state.first, 42);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(CloseHandle(autoReset));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Win32Files, OverlappedWritesAndReadsAtAnOffset) {
    std::filesystem::create_directories("C:\\temp");
    const char* path = "C:\\temp\\tamberlyx-overlapped.bin";
    Handle file = CreateFileA(path, kGenericRead | kGenericWrite, 0, nullptr, kCreateAlways,
                              kFileAttributeNormal | kFileFlagOverlapped, nullptr);
    ASSERT_TRUE(isValidHandle(file)) << GetLastError();
    Handle event = CreateEventW(nullptr, true, false, nullptr);
    ASSERT_NE(event, nullptr);

    const char data[] = "OVERLAPPED";
    Overlapped write{};
    write.Offset = 4;
    write.hEvent = event;
    if (!WriteFile(file, data, 10, nullptr, &write)) {
        ASSERT_EQ(GetLastError(), kErrorIoPending);
    }
    uint32_t written = 0;
    ASSERT_TRUE(GetOverlappedResult(file, &write, &written, true));
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(WaitForSingleObject(event, 0), kWaitObject0);

    char back[32] = {};
    Overlapped read{};
    read.Offset = 0;
    read.hEvent = event;
    if (!ReadFile(file, back, sizeof back, nullptr, &read)) {
        ASSERT_EQ(GetLastError(), kErrorIoPending);
    }
    uint32_t got = 0;
    ASSERT_TRUE(GetOverlappedResult(file, &read, &got, true));
    ASSERT_EQ(got, 14u);
    EXPECT_EQ(std::string(back, 4), std::string(4, '\0'));
    EXPECT_EQ(std::string(back + 4, 10), "OVERLAPPED");
    EXPECT_TRUE(CancelIo(file));

    EXPECT_TRUE(CloseHandle(event));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    std::filesystem::remove(path);
}

TEST(Win32Files, RuntimeStreamsWriteTextMode) {
    std::filesystem::create_directories("C:\\temp");
    const char* path = "C:\\temp\\tamberlyx-crt.txt";
    CrtFile* out = crtOpen(path, "w");
    ASSERT_NE(out, nullptr);
    EXPECT_GE(crtWrite("one\ntwo\n", out), 0);
    EXPECT_EQ(crtFlush(out), 0);
    EXPECT_EQ(crtClose(out), 0);

    CrtFile* raw = crtOpen(path, "rb");
    ASSERT_NE(raw, nullptr);
    char bytes[32] = {};
    EXPECT_EQ(crtRead(bytes, 1, sizeof bytes, raw), 10u);
    EXPECT_STREQ(bytes, "one\r\ntwo\r\n");
    EXPECT_EQ(crtClose(raw), 0);

    CrtFile* text = crtOpen(path, "r");
    ASSERT_NE(text, nullptr);
    char line[8] = {};
    ASSERT_NE(crtReadLine(line, sizeof line, text), nullptr);
    EXPECT_STREQ(line, "one\n");
    EXPECT_EQ(crtClose(text), 0);
    EXPECT_EQ(crtOpen("C:\\temp\\no-such-directory\\x.txt", "w"), nullptr);
    std::filesystem::remove(path);

    char* copy = crtDuplicate("text");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "text");
    crtFree(copy);
    auto* zeroes = static_cast<unsigned char*>(crtAllocZero(64));
    ASSERT_NE(zeroes, nullptr);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(zeroes[i], 0);
    crtFree(zeroes);
}

TEST(Win32Spawn, RunsAProgramAndWaitsForItsExitCode) {
    EXPECT_EQ(runChild({"exit-code", "7"}), 7);
    std::string missing = programDirectory() + "no-such-program.exe";
    const char* argv[] = {missing.c_str(), "add", nullptr};
    EXPECT_EQ(spawnAndWait(missing.c_str(), argv), -1);
}

TEST(Win32SetupApi, WineHasNoUsbHostControllersAndTheHidClass) {
    DevInfoSet controllers =
        SetupDiGetClassDevsW(&kGuidDevinterfaceUsbHostController, nullptr, nullptr, kDigcfPresent | kDigcfDeviceInterface);
    ASSERT_TRUE(isValidHandle(controllers));
    SpDevinfoData device{};
    device.cbSize = sizeof device;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(controllers, 0, &device));
    EXPECT_EQ(GetLastError(), kErrorNoMoreItems);
    SpDeviceInterfaceData interface{};
    interface.cbSize = sizeof interface;
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(controllers, nullptr, &kGuidDevinterfaceUsbHostController, 0, &interface));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(controllers));

    DevInfoSet all = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, kDigcfPresent | kDigcfAllClasses);
    ASSERT_TRUE(isValidHandle(all));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(all));

    Guid hid{};
    HidD_GetHidGuid(&hid);
    EXPECT_TRUE(hid == kGuidDevinterfaceHid);
}

// The monitor's pattern: a class, a hidden window that registers for
// device notifications while it is created, a message loop, and the close
// that ends it.
struct WindowRecord {
    Notification notification = nullptr;
    int userMessages = 0;
    bool destroyed = false;
};
WindowRecord windowRecord;

intptr_t recordingWindowProc(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case kWmCreate: {
            DevBroadcastDeviceInterfaceW filter{};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = kDbtDevtypDeviceInterface;
            filter.dbcc_classguid = kGuidDevinterfaceUsbDevice;
            windowRecord.notification = RegisterDeviceNotificationW(window, &filter, kDeviceNotifyWindowHandle);
            return 0;
        }
        case kWmUser:
            windowRecord.userMessages += static_cast<int>(wParam);
            return 1;
        case kWmClose:
            UnregisterDeviceNotification(windowRecord.notification);
            DestroyWindow(window);
            return 1;
        case kWmDestroy:
            windowRecord.destroyed = true;
            PostQuitMessage(0);
            return 1;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

TEST(Win32Windowing, HiddenWindowWithDeviceNotificationsAndAMessageLoop) {
    WndClassExW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = recordingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = u"TamberlyxWineTestWindow";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(GetLastError(), kErrorClassAlreadyExists);

    Hwnd window = CreateWindowExA(0, "TamberlyxWineTestWindow", "TamberlyxWineTest", 0, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(windowRecord.notification, nullptr);
    EXPECT_EQ(FindWindowA("TamberlyxWineTestWindow", nullptr), window);

    EXPECT_TRUE(PostMessageW(window, kWmUser, 2, 0));
    EXPECT_TRUE(PostMessageW(window, kWmUser, 3, 0));
    EXPECT_TRUE(PostMessageW(window, kWmClose, 0, 0));
    Msg message{};
    int32_t result;
    int dispatched = 0;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ++dispatched;
    }
    EXPECT_EQ(result, 0) << "the loop ends with WM_QUIT";
    EXPECT_EQ(message.message, kWmQuit);
    EXPECT_GE(dispatched, 3);
    EXPECT_EQ(windowRecord.userMessages, 5);
    EXPECT_TRUE(windowRecord.destroyed);
    EXPECT_EQ(FindWindowA("TamberlyxWineTestWindow", nullptr), nullptr);
    EXPECT_EQ(SendMessageW(nullptr, kWmUser, 1, 0), 0);
}

}  // namespace
