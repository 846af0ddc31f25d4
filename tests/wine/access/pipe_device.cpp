// The stand-in HID device: one server end of a named pipe, served by a
// thread that waits for the client, takes its reports and answers them.
#include "pipe_device.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/win32/windows_api.h"

namespace standin {
namespace {

constexpr DWORD kReportBytes = 65;

class ServedPipe : public PipeDevice {
public:
    ServedPipe(std::string path, HANDLE pipe, Answer answer)
        : path_(std::move(path)), pipe_(pipe), answer_(answer),
          stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), io_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this] { run(); });
    }
    ~ServedPipe() override {
        ::SetEvent(stop_);
        thread_.join();
        ::CloseHandle(pipe_);
        ::CloseHandle(io_);
        ::CloseHandle(stop_);
    }

    std::string path() const override { return path_; }
    int reportsTaken() const override { return taken_.load(); }
    std::vector<uint8_t> lastReport() const override {
        std::lock_guard<std::mutex> lock(lastMutex_);
        return last_;
    }

private:
    // Runs one overlapped step on the pipe to its end; false when the test
    // is stopping or the step failed.
    template <typename Start>
    bool step(Start start, DWORD* transferred) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = io_;
        ::ResetEvent(io_);
        if (!start(&overlapped)) {
            DWORD error = ::GetLastError();
            if (error == ERROR_PIPE_CONNECTED) return true;
            if (error != ERROR_IO_PENDING) return false;
            HANDLE waits[2] = {io_, stop_};
            if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                ::CancelIo(pipe_);
                ::GetOverlappedResult(pipe_, &overlapped, transferred, TRUE);
                return false;
            }
        }
        return ::GetOverlappedResult(pipe_, &overlapped, transferred, TRUE) != FALSE;
    }

    bool stopping() { return ::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

    // Serves one client after the other: when a client closes its end, the
    // pipe waits for the next.
    void run() {
        while (!stopping()) {
            DWORD count = 0;
            if (!step([this](OVERLAPPED* o) { return ::ConnectNamedPipe(pipe_, o) != FALSE; }, &count)) return;
            serveClient();
            ::DisconnectNamedPipe(pipe_);
        }
    }

    void serveClient() {
        unsigned char report[kReportBytes];
        DWORD count = 0;
        for (;;) {
            if (!step([&](OVERLAPPED* o) { return ::ReadFile(pipe_, report, kReportBytes, nullptr, o) != FALSE; },
                      &count))
                return;
            {
                std::lock_guard<std::mutex> lock(lastMutex_);
                last_.assign(report, report + count);
            }
            ++taken_;
            if (answer_ == Answer::Silent) continue;
            DWORD length = count;
            if (!step([&](OVERLAPPED* o) { return ::WriteFile(pipe_, report, length, nullptr, o) != FALSE; },
                      &count))
                return;
        }
    }

    std::string path_;
    HANDLE pipe_;
    Answer answer_;
    HANDLE stop_;
    HANDLE io_;
    std::atomic<int> taken_{0};
    mutable std::mutex lastMutex_;
    std::vector<uint8_t> last_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<PipeDevice> PipeDevice::serve(const std::string& name, Answer answer) {
    std::string path = "\\\\.\\pipe\\" + name;
    HANDLE pipe = ::CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0,
                                     nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<PipeDevice>(new ServedPipe(path, pipe, answer));
}

uint32_t processHandleCount() {
    // Every handle value that names an object right now. Counted by probing,
    // because not every system answers GetProcessHandleCount truthfully.
    constexpr uintptr_t kHighestProbed = 0x2000;
    uint32_t count = 0;
    for (uintptr_t value = 4; value < kHighestProbed; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

}  // namespace standin
