// Window classes, windows, per-thread message queues and device
// notifications of the simulated machine.
//
// Each thread that owns a window or asks for messages has a queue. Posted
// messages wait there until GetMessageW takes them; messages sent from
// another thread wait in a separate list that GetMessageW serves first by
// calling the window procedure on the owner thread, while the sender waits
// for the result. Window procedures always run without the windowing lock.
#include "platform/windowing.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/sim/control/accounting.h"
#include "platform/sim/control/faults.h"
#include "platform/sim/control/sim_control.h"
#include "platform/sim/model/error_codes.h"
#include "platform/sim/model/machine_store.h"
#include "platform/sim/model/text.h"

namespace sim {
namespace {

constexpr uint32_t kWmNcCreate = 0x0081;
constexpr uint32_t kWmNcDestroy = 0x0082;
constexpr uint32_t kDeviceNotifyServiceHandle = 0x1;
constexpr uint32_t kDeviceNotifyAllInterfaceClasses = 0x4;

// CREATESTRUCTA as WM_NCCREATE and WM_CREATE point to it.
struct CreateStructA {
    void* lpCreateParams;
    platform::Module hInstance;
    void* hMenu;
    platform::Hwnd hwndParent;
    int32_t cy, cx, y, x;
    int32_t style;
    const char* lpszName;
    const char* lpszClass;
    uint32_t dwExStyle;
};

struct WindowClass {
    std::u16string name;
    platform::WindowProcedure procedure;
    platform::Module instance;
};

struct Window {
    platform::Hwnd handle;
    platform::WindowProcedure procedure;
    std::u16string className;
    std::string title;
    std::thread::id owner;
    bool topLevel;
    bool destroying = false;
};

struct SentMessage {
    platform::Hwnd window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    bool broadcast = false;         // queued by the system; nobody waits for it
    std::vector<uint8_t> payload;   // what lParam points to, owned here
    bool taken = false;             // its window's thread has begun to handle it
    bool done = false;
    intptr_t result = 0;
};

struct MessageQueue {
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool waiting = false;  // its thread waits in GetMessageW for a message
    std::chrono::steady_clock::time_point lastGet = std::chrono::steady_clock::now();
    std::deque<platform::Msg> posted;
    bool quit = false;
    int32_t quitCode = 0;
    bool ended = false;  // its thread has ended
};

struct Registration {
    platform::Hwnd window;
    bool allClasses;
    platform::Guid interfaceClass;
};

struct Windowing {
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::u16string, WindowClass> classes;  // by lower-case name
    uint16_t nextAtom = 0xC000;
    std::map<uintptr_t, std::shared_ptr<Window>> windows;
    uintptr_t nextWindow = 0x10010;
    std::map<std::thread::id, std::shared_ptr<MessageQueue>> queues;
    std::map<uintptr_t, Registration> registrations;
    uintptr_t nextRegistration = 0x4E000010;
    size_t broadcastsOutstanding = 0;
    // Device notifications, handed to their windows one at a time by the
    // plug-and-play client's thread (started on first use).
    std::deque<std::shared_ptr<SentMessage>> notifications;
    bool notifierRunning = false;
    std::chrono::milliseconds sendTimeOut{2000}, hungAfter{5000};
};

Windowing& state() {
    static Windowing* w = new Windowing;
    return *w;
}

std::u16string lowered(const std::u16string& text) {
    std::u16string out = text;
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

std::u16string widened(const char* text) {
    std::u16string out;
    for (; text != nullptr && *text != '\0'; ++text) out += static_cast<char16_t>(static_cast<unsigned char>(*text));
    return out;
}

std::u16string fromWide(const char16_t* text) {
    std::u16string out;
    for (; text != nullptr && *text != 0; ++text) out += *text;
    return out;
}

std::shared_ptr<Window> findWindow(Windowing& s, platform::Hwnd handle) {
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(handle));
    return it == s.windows.end() ? nullptr : it->second;
}

void endThreadQueue();

// Ends the calling thread's queue when the thread ends, and with it the
// windows the thread owned, as the system does.
struct QueueOwnership {
    bool owns = false;
    ~QueueOwnership() {
        if (owns) endThreadQueue();
    }
};
thread_local QueueOwnership queueOwnership;

// Must be called with the lock held.
std::shared_ptr<MessageQueue> queueOfCaller(Windowing& s) {
    auto& queue = s.queues[std::this_thread::get_id()];
    if (!queue) {
        queue = std::make_shared<MessageQueue>();
        queueOwnership.owns = true;
    }
    return queue;
}

// Must be called with the lock held: ends a sent message that will never be
// handled.
void dropSent(Windowing& s, const std::shared_ptr<SentMessage>& message) {
    message->done = true;
    message->result = 0;
    if (message->broadcast) --s.broadcastsOutstanding;
}

// Removes a window and whatever waits for it; the lock is held.
void forgetWindow(Windowing& s, platform::Hwnd handle) {
    auto window = findWindow(s, handle);
    if (!window) return;
    s.windows.erase(reinterpret_cast<uintptr_t>(handle));
    --liveCounters().windows;
    auto queue = s.queues.find(window->owner);
    if (queue != s.queues.end()) {
        auto& posted = queue->second->posted;
        for (auto it = posted.begin(); it != posted.end();)
            it = it->hwnd == handle ? posted.erase(it) : it + 1;
        auto& sent = queue->second->sent;
        for (auto it = sent.begin(); it != sent.end();) {
            if ((*it)->window == handle) {
                dropSent(s, *it);
                it = sent.erase(it);
            } else {
                ++it;
            }
        }
    }
    s.changed.notify_all();
}

void endThreadQueue() {
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.queues.find(std::this_thread::get_id());
    if (it == s.queues.end()) return;
    std::shared_ptr<MessageQueue> queue = it->second;
    queue->ended = true;
    for (const auto& message : queue->sent) dropSent(s, message);
    queue->sent.clear();
    std::vector<platform::Hwnd> owned;
    for (const auto& entry : s.windows)
        if (entry.second->owner == std::this_thread::get_id()) owned.push_back(entry.second->handle);
    for (platform::Hwnd handle : owned) forgetWindow(s, handle);
    s.queues.erase(it);
    s.changed.notify_all();
}

intptr_t callProcedure(platform::WindowProcedure procedure, platform::Hwnd window, uint32_t message,
                       uintptr_t wParam, intptr_t lParam) {
    return procedure == nullptr ? 0 : procedure(window, message, wParam, lParam);
}

// Handles one message sent to the calling thread; the lock is held on entry
// and on return, and released while the procedure runs.
void handleSent(Windowing& s, std::unique_lock<std::mutex>& guard, const std::shared_ptr<SentMessage>& message) {
    auto window = findWindow(s, message->window);
    intptr_t result = 0;
    if (window) {
        platform::WindowProcedure procedure = window->procedure;
        guard.unlock();
        result = callProcedure(procedure, message->window, message->message, message->wParam, message->lParam);
        guard.lock();
    }
    if (!message->done) {
        message->done = true;
        message->result = result;
        if (message->broadcast) --s.broadcastsOutstanding;
    }
    s.changed.notify_all();
}

// Queues a sent message without waiting; the lock is held.
bool queueSent(Windowing& s, const std::shared_ptr<SentMessage>& message) {
    auto window = findWindow(s, message->window);
    if (!window) return false;
    auto queue = s.queues.find(window->owner);
    if (queue == s.queues.end() || queue->second->ended) return false;
    queue->second->sent.push_back(message);
    if (message->broadcast) ++s.broadcastsOutstanding;
    s.changed.notify_all();
    return true;
}

uint32_t messageTime() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// Sends WM_DESTROY and WM_NCDESTROY and removes the window; the lock is not
// held.
void destroyOnOwner(platform::Hwnd handle, platform::WindowProcedure procedure) {
    callProcedure(procedure, handle, platform::kWmDestroy, 0, 0);
    callProcedure(procedure, handle, kWmNcDestroy, 0, 0);
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    forgetWindow(s, handle);
}

std::string text(const char* value) { return value == nullptr ? "(null)" : value; }

}  // namespace

void forgetWindowClasses() {
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.classes.clear();
}

namespace {

// Whether a window's thread looks hung: it has not asked for a message for
// a while and is not waiting for one (Wine's server/queue.c,
// is_queue_hung: 5 s since the last get_message, and not waiting on its
// queue). The lock is held.
bool looksHung(const Windowing& s, const MessageQueue& queue) {
    return !queue.waiting && std::chrono::steady_clock::now() - queue.lastGet > s.hungAfter;
}

// The plug-and-play client's thread: hands each device notification to its
// window in turn, as Wine's sechost does (dlls/user32/input.c,
// devnotify_window_callback: SendMessageTimeoutW(..., SMTO_ABORTIFHUNG,
// 2000)). A window that looks hung is skipped at once; a message its
// thread has not begun to handle within the time-out is withdrawn from its
// queue (server/queue.c, result_timeout), so that a window busy for long
// loses the notifications of that time. The thread ends when nothing is
// left to hand over.
void handOverNotifications() {
    Windowing& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    while (!s.notifications.empty()) {
        std::shared_ptr<SentMessage> message = s.notifications.front();
        s.notifications.pop_front();
        auto window = findWindow(s, message->window);
        auto queue = window ? s.queues.find(window->owner) : s.queues.end();
        if (queue == s.queues.end() || queue->second->ended || looksHung(s, *queue->second)) {
            dropSent(s, message);
            s.changed.notify_all();
            continue;
        }
        std::shared_ptr<MessageQueue> receiver = queue->second;
        receiver->sent.push_back(message);
        s.changed.notify_all();
        s.changed.wait_for(guard, s.sendTimeOut, [&message] { return message->done; });
        if (!message->taken && !message->done) {
            auto at = std::find(receiver->sent.begin(), receiver->sent.end(), message);
            if (at != receiver->sent.end()) receiver->sent.erase(at);
            dropSent(s, message);
            s.changed.notify_all();
        }
    }
    s.notifierRunning = false;
}

// Queues a notification for the plug-and-play client; the lock is held.
void notify(Windowing& s, const std::shared_ptr<SentMessage>& message) {
    ++s.broadcastsOutstanding;
    s.notifications.push_back(message);
    if (!s.notifierRunning) {
        s.notifierRunning = true;
        std::thread(handOverNotifications).detach();
    }
}

}  // namespace

size_t broadcastDeviceInterfaceChange(uint32_t event, const platform::Guid& interfaceClass,
                                      const std::string& interfacePath) {
    std::u16string name = utf8ToUtf16(interfacePath);
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    size_t queued = 0;
    for (const auto& entry : s.registrations) {
        const Registration& r = entry.second;
        if (!r.allClasses && r.interfaceClass != interfaceClass) continue;
        auto message = std::make_shared<SentMessage>();
        message->window = r.window;
        message->message = platform::kWmDeviceChange;
        message->wParam = event;
        message->broadcast = true;
        // DEV_BROADCAST_DEVICEINTERFACE_W with the path and its zero after
        // the fixed part; dbcc_size counts exactly that.
        size_t nameOffset = offsetof(platform::DevBroadcastDeviceInterfaceW, dbcc_name);
        size_t size = nameOffset + (name.size() + 1) * sizeof(char16_t);
        message->payload.assign(std::max(size, sizeof(platform::DevBroadcastDeviceInterfaceW)), 0);
        auto* header = reinterpret_cast<platform::DevBroadcastDeviceInterfaceW*>(message->payload.data());
        header->dbcc_size = static_cast<uint32_t>(size);
        header->dbcc_devicetype = platform::kDbtDevtypDeviceInterface;
        header->dbcc_classguid = interfaceClass;
        if (!name.empty())
            std::memcpy(message->payload.data() + nameOffset, name.data(), name.size() * sizeof(char16_t));
        message->lParam = reinterpret_cast<intptr_t>(message->payload.data());
        notify(s, message);
        ++queued;
    }
    return queued;
}

void setNotificationTimeOuts(uint32_t sendMilliseconds, uint32_t hungMilliseconds) {
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.sendTimeOut = std::chrono::milliseconds(sendMilliseconds);
    s.hungAfter = std::chrono::milliseconds(hungMilliseconds);
}

namespace {

// WM_DEVICECHANGE with the event and the broadcast structure given (empty:
// lParam 0) to every top-level window, registered or not.
size_t broadcastToTopLevelWindows(uint32_t event, const std::vector<uint8_t>& payload) {
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    size_t queued = 0;
    for (const auto& entry : s.windows) {
        if (!entry.second->topLevel) continue;
        auto message = std::make_shared<SentMessage>();
        message->window = entry.second->handle;
        message->message = platform::kWmDeviceChange;
        message->wParam = event;
        message->payload = payload;
        message->lParam = payload.empty() ? 0 : reinterpret_cast<intptr_t>(message->payload.data());
        message->broadcast = true;
        if (queueSent(s, message)) ++queued;
    }
    return queued;
}

// The device types of dbt.h that the system broadcasts on its own.
constexpr uint32_t kDbtDevtypVolume = 2;
constexpr uint32_t kDbtDevtypPort = 3;

// DEV_BROADCAST_HDR: dbch_size, dbch_devicetype, dbch_reserved.
std::vector<uint8_t> broadcastHeader(uint32_t size, uint32_t deviceType) {
    std::vector<uint8_t> payload(size, 0);
    std::memcpy(payload.data(), &size, sizeof size);
    std::memcpy(payload.data() + 4, &deviceType, sizeof deviceType);
    return payload;
}

}  // namespace

size_t broadcastDevNodesChanged() { return broadcastToTopLevelWindows(platform::kDbtDevNodesChanged, {}); }

// Volumes and ports are announced to every top-level window without any
// registration (Microsoft Learn, RegisterDeviceNotification, Remarks: "The
// DBT_DEVICEARRIVAL and DBT_DEVICEREMOVECOMPLETE events are automatically
// broadcast to all top-level windows for port devices"; "Volume
// notifications are also broadcast to top-level windows"). Wine's mount
// manager does the same for a drive letter that comes or goes
// (dlls/mountmgr.sys/device.c, send_notify: BroadcastSystemMessageW with a
// DEV_BROADCAST_VOLUME).
size_t broadcastVolumeChange(uint32_t event, uint32_t unitMask) {
    // DEV_BROADCAST_VOLUME: the header, dbcv_unitmask, dbcv_flags (a WORD),
    // padded to 20 bytes. The flags stay 0: a drive came or went, not media
    // in a drive (Microsoft Learn, DBT_DEVICEARRIVAL: DBTF_MEDIA marks
    // inserted media; Wine's mount manager sets it for every drive).
    std::vector<uint8_t> payload = broadcastHeader(20, kDbtDevtypVolume);
    std::memcpy(payload.data() + 12, &unitMask, sizeof unitMask);
    return broadcastToTopLevelWindows(event, payload);
}

size_t broadcastPortChange(uint32_t event, const std::string& portName) {
    // DEV_BROADCAST_PORT_W: the header and dbcp_name, ended by a zero.
    std::u16string name = utf8ToUtf16(portName);
    std::vector<uint8_t> payload =
        broadcastHeader(static_cast<uint32_t>(12 + (name.size() + 1) * sizeof(char16_t)), kDbtDevtypPort);
    std::memcpy(payload.data() + 12, name.data(), name.size() * sizeof(char16_t));
    return broadcastToTopLevelWindows(event, payload);
}

bool waitForBroadcastsHandled(uint32_t milliseconds) {
    Windowing& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    return s.changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [&s] { return s.broadcastsOutstanding == 0; });
}

size_t broadcastsWaiting() {
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.broadcastsOutstanding;
}

size_t liveNotificationRegistrations() {
    Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    size_t n = 0;
    for (const auto& entry : s.registrations)
        if (findWindow(s, entry.second.window)) ++n;
    return n;
}

}  // namespace sim

namespace platform {

using sim::state;

uint16_t RegisterClassExW(const WndClassExW* windowClass) {
    if (sim::failHere("RegisterClassExW")) return 0;
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WndClassExW) ||
        windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    sim::Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    std::u16string name = sim::fromWide(windowClass->lpszClassName);
    std::u16string key = sim::lowered(name);
    if (s.classes.count(key) != 0) {
        SetLastError(kErrorClassAlreadyExists);
        return 0;
    }
    s.classes[key] = sim::WindowClass{name, windowClass->lpfnWndProc, windowClass->hInstance};
    return s.nextAtom++;
}

Hwnd CreateWindowExA(uint32_t exStyle, const char* className, const char* windowName, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, Hwnd parent, void* menu, Module instance,
                     void* parameter) {
    if (sim::failHere("CreateWindowExA", sim::text(className) + " " + sim::text(windowName))) return nullptr;
    sim::Windowing& s = state();
    Hwnd handle;
    WindowProcedure procedure;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        auto cls = className == nullptr ? s.classes.end() : s.classes.find(sim::lowered(sim::widened(className)));
        if (cls == s.classes.end()) {
            SetLastError(sim::kErrorCannotFindWndClass);
            return nullptr;
        }
        if (parent != nullptr && !sim::findWindow(s, parent)) {
            SetLastError(sim::kErrorInvalidWindowHandle);
            return nullptr;
        }
        auto window = std::make_shared<sim::Window>();
        handle = reinterpret_cast<Hwnd>(s.nextWindow);
        s.nextWindow += 0x10;
        window->handle = handle;
        window->procedure = procedure = cls->second.procedure;
        window->className = cls->second.name;
        window->title = windowName == nullptr ? "" : windowName;
        window->owner = std::this_thread::get_id();
        window->topLevel = parent == nullptr;
        sim::queueOfCaller(s);
        s.windows[reinterpret_cast<uintptr_t>(handle)] = window;
        ++sim::liveCounters().windows;
    }
    sim::CreateStructA create{parameter,
                              instance,
                              menu,
                              parent,
                              height,
                              width,
                              y,
                              x,
                              static_cast<int32_t>(style),
                              windowName,
                              className,
                              exStyle};
    intptr_t lParam = reinterpret_cast<intptr_t>(&create);
    // WM_NCCREATE must be answered with nonzero (DefWindowProcW does); a
    // WM_CREATE answered with -1 destroys the window and fails creation.
    if (sim::callProcedure(procedure, handle, sim::kWmNcCreate, 0, lParam) == 0) {
        sim::callProcedure(procedure, handle, sim::kWmNcDestroy, 0, 0);
        std::lock_guard<std::mutex> guard(s.lock);
        sim::forgetWindow(s, handle);
        return nullptr;
    }
    if (sim::callProcedure(procedure, handle, kWmCreate, 0, lParam) == -1) {
        sim::destroyOnOwner(handle, procedure);
        return nullptr;
    }
    return handle;
}

bool DestroyWindow(Hwnd window) {
    if (sim::failHere("DestroyWindow")) return false;
    sim::Windowing& s = state();
    WindowProcedure procedure;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        auto w = sim::findWindow(s, window);
        if (!w) {
            SetLastError(sim::kErrorInvalidWindowHandle);
            return false;
        }
        if (w->owner != std::this_thread::get_id()) {
            // A thread cannot destroy another thread's window.
            SetLastError(kErrorAccessDenied);
            return false;
        }
        if (w->destroying) return true;
        w->destroying = true;
        procedure = w->procedure;
    }
    sim::destroyOnOwner(window, procedure);
    return true;
}

intptr_t DefWindowProcW(Hwnd window, uint32_t message, uintptr_t, intptr_t) {
    switch (message) {
        case sim::kWmNcCreate:
            return 1;
        case kWmClose:
            DestroyWindow(window);
            return 0;
        default:
            return 0;
    }
}

int32_t GetMessageW(Msg* message, Hwnd window, uint32_t filterMin, uint32_t filterMax) {
    if (sim::failHere("GetMessageW")) return -1;
    if (message == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return -1;
    }
    sim::Windowing& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    if (window != nullptr && !sim::findWindow(s, window)) {
        SetLastError(sim::kErrorInvalidWindowHandle);
        return -1;
    }
    std::shared_ptr<sim::MessageQueue> queue = sim::queueOfCaller(s);
    bool anyMessage = filterMin == 0 && filterMax == 0;
    for (;;) {
        queue->lastGet = std::chrono::steady_clock::now();
        if (!queue->sent.empty()) {
            auto sent = queue->sent.front();
            queue->sent.pop_front();
            sent->taken = true;
            sim::handleSent(s, guard, sent);
            continue;
        }
        for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
            if (window != nullptr && it->hwnd != window) continue;
            if (!anyMessage && (it->message < filterMin || it->message > filterMax)) continue;
            *message = *it;
            queue->posted.erase(it);
            return message->message == kWmQuit ? 0 : 1;
        }
        if (queue->quit) {
            // WM_QUIT comes only when no other posted message is waiting.
            queue->quit = false;
            *message = Msg{nullptr, kWmQuit, static_cast<uintptr_t>(queue->quitCode), 0, sim::messageTime(), 0, 0, 0};
            return 0;
        }
        queue->waiting = true;
        s.changed.wait(guard);
        queue->waiting = false;
    }
}

bool TranslateMessage(const Msg* message) {
    // Only keyboard messages are translated, and this machine has no keyboard.
    (void)message;
    return false;
}

intptr_t DispatchMessageW(const Msg* message) {
    if (sim::failHere("DispatchMessageW")) return 0;
    if (message == nullptr || message->hwnd == nullptr) return 0;
    WindowProcedure procedure;
    {
        sim::Windowing& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        auto w = sim::findWindow(s, message->hwnd);
        if (!w) {
            SetLastError(sim::kErrorInvalidWindowHandle);
            return 0;
        }
        if (w->owner != std::this_thread::get_id()) {
            SetLastError(sim::kErrorWindowOfOtherThread);
            return 0;
        }
        procedure = w->procedure;
    }
    return sim::callProcedure(procedure, message->hwnd, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int32_t exitCode) {
    sim::failHere("PostQuitMessage", std::to_string(exitCode));
    sim::Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto queue = sim::queueOfCaller(s);
    queue->quit = true;
    queue->quitCode = exitCode;
    s.changed.notify_all();
}

intptr_t SendMessageW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (sim::failHere("SendMessageW", std::to_string(message))) return 0;
    sim::Windowing& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    auto w = sim::findWindow(s, window);
    if (!w) {
        SetLastError(sim::kErrorInvalidWindowHandle);
        return 0;
    }
    if (w->owner == std::this_thread::get_id()) {
        WindowProcedure procedure = w->procedure;
        guard.unlock();
        return sim::callProcedure(procedure, window, message, wParam, lParam);
    }
    auto sent = std::make_shared<sim::SentMessage>();
    sent->window = window;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    if (!sim::queueSent(s, sent)) return 0;
    // Blocks until the owner's message loop has handled it, serving what
    // other threads send to this one meanwhile, as the system does.
    while (!sent->done) {
        auto own = s.queues.find(std::this_thread::get_id());
        if (own != s.queues.end() && !own->second->sent.empty()) {
            auto incoming = own->second->sent.front();
            own->second->sent.pop_front();
            sim::handleSent(s, guard, incoming);
            continue;
        }
        s.changed.wait(guard);
    }
    return sent->result;
}

bool PostMessageW(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (sim::failHere("PostMessageW", std::to_string(message))) return false;
    sim::Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    std::shared_ptr<sim::MessageQueue> queue;
    if (window == nullptr) {
        queue = sim::queueOfCaller(s);  // a message for the calling thread itself
    } else {
        auto w = sim::findWindow(s, window);
        if (!w) {
            SetLastError(sim::kErrorInvalidWindowHandle);
            return false;
        }
        auto it = s.queues.find(w->owner);
        if (it == s.queues.end() || it->second->ended) {
            SetLastError(sim::kErrorInvalidWindowHandle);
            return false;
        }
        queue = it->second;
    }
    queue->posted.push_back(Msg{window, message, wParam, lParam, sim::messageTime(), 0, 0, 0});
    s.changed.notify_all();
    return true;
}

Hwnd FindWindowA(const char* className, const char* windowName) {
    if (sim::failHere("FindWindowA", sim::text(className) + " " + sim::text(windowName))) return nullptr;
    sim::Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const auto& entry : s.windows) {
        const sim::Window& w = *entry.second;
        if (!w.topLevel) continue;
        if (className != nullptr && sim::lowered(sim::widened(className)) != sim::lowered(w.className)) continue;
        if (windowName != nullptr && sim::lowered(sim::widened(windowName)) != sim::lowered(sim::widened(w.title.c_str())))
            continue;
        return w.handle;
    }
    return nullptr;
}

Notification RegisterDeviceNotificationW(Handle recipient, void* filter, uint32_t flags) {
    if (sim::failHere("RegisterDeviceNotificationW")) return nullptr;
    sim::Windowing& s = state();
    if ((flags & sim::kDeviceNotifyServiceHandle) != 0 || filter == nullptr) {
        // Only windows receive notifications on this machine.
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    uint32_t size, deviceType;
    std::memcpy(&size, filter, sizeof size);
    std::memcpy(&deviceType, static_cast<const uint8_t*>(filter) + 4, sizeof deviceType);
    if (deviceType != kDbtDevtypDeviceInterface) {
        // Handle and volume notifications are not simulated.
        SetLastError(kErrorNotSupported);
        return nullptr;
    }
    if (size < sizeof(DevBroadcastDeviceInterfaceW)) {
        SetLastError(sim::kErrorInvalidData);
        return nullptr;
    }
    sim::Registration registration{recipient, (flags & sim::kDeviceNotifyAllInterfaceClasses) != 0, {}};
    std::memcpy(&registration.interfaceClass,
                static_cast<const uint8_t*>(filter) + offsetof(DevBroadcastDeviceInterfaceW, dbcc_classguid),
                sizeof(Guid));
    uintptr_t id;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!sim::findWindow(s, recipient)) {
            SetLastError(kErrorInvalidHandle);
            return nullptr;
        }
        id = s.nextRegistration;
        s.nextRegistration += 0x10;
        s.registrations[id] = registration;
        ++sim::liveCounters().notifications;
    }
    sim::watchMachineSource();  // without the windowing lock: the watch broadcasts under its own
    return reinterpret_cast<Notification>(id);
}

bool UnregisterDeviceNotification(Notification notification) {
    if (sim::failHere("UnregisterDeviceNotification")) return false;
    sim::Windowing& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.registrations.erase(reinterpret_cast<uintptr_t>(notification)) == 0) {
        SetLastError(kErrorInvalidHandle);
        return false;
    }
    --sim::liveCounters().notifications;
    return true;
}

}  // namespace platform
