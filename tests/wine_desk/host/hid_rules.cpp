// The rules a HID collection's class driver applies to report reads and
// writes, asked through the platform layer: built over Windows' own calls
// it asks Wine's HID class driver over the Wine desk, built over the
// simulated stack it asks the model. Each collection named on the command
// line ("PID:INPUT:OUTPUT:ID": product id in hex, report lengths with the
// id byte, the first report id it declares or 0) is opened and given
// writes of no bytes, of one byte, of one byte short of its output report,
// of the whole report, of one byte more, and of a whole report with a
// report id it does not declare; then reads into a buffer one byte short of
// its input report and into a whole one. One line per request: what it
// answered. The two outputs must agree.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/setupapi.h"
#include "platform/usb_requests.h"

namespace {

using platform::Handle;

std::vector<std::string> hidPaths() {
    std::vector<std::string> paths;
    platform::DevInfoSet set = platform::SetupDiGetClassDevsW(
        &platform::kGuidDevinterfaceHid, nullptr, nullptr, platform::kDigcfPresent | platform::kDigcfDeviceInterface);
    if (!platform::isValidHandle(set)) return paths;
    platform::SpDeviceInterfaceData data{};
    data.cbSize = sizeof data;
    for (uint32_t i = 0; platform::SetupDiEnumDeviceInterfaces(set, nullptr, &platform::kGuidDevinterfaceHid, i, &data);
         ++i) {
        std::vector<uint8_t> buffer(2048);
        auto* detail = reinterpret_cast<platform::SpDeviceInterfaceDetailDataW*>(buffer.data());
        detail->cbSize = 8;
        if (!platform::SetupDiGetDeviceInterfaceDetailW(set, &data, detail, static_cast<uint32_t>(buffer.size()),
                                                        nullptr, nullptr))
            continue;
        std::string path;
        for (const char16_t* c = detail->DevicePath; *c != 0; ++c) path += static_cast<char>(*c < 0x80 ? *c : '?');
        std::string lower = path;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.find("vid_1a2b") != std::string::npos) paths.push_back(path);
    }
    platform::SetupDiDestroyDeviceInfoList(set);
    return paths;
}

// One overlapped request, waited for 500 ms: "ok", "error E", or "pending"
// (then cancelled); a read that succeeds also gives its count. The count of
// a write is left out: Wine 8's class driver passes on its minidriver's
// count, without the report id byte, where Windows counts the report.
std::string answer(Handle file, bool write, std::vector<uint8_t>& bytes) {
    platform::Overlapped overlapped{};
    overlapped.hEvent = platform::CreateEventW(nullptr, true, false, nullptr);
    uint32_t count = 0, length = static_cast<uint32_t>(bytes.size());
    bytes.reserve(1);  // a request of no bytes still gets a buffer
    bool done = write ? platform::WriteFile(file, bytes.data(), length, &count, &overlapped)
                      : platform::ReadFile(file, bytes.data(), length, &count, &overlapped);
    std::string result;
    if (!done && platform::GetLastError() != platform::kErrorIoPending) {
        result = "error " + std::to_string(platform::GetLastError());
    } else if (platform::WaitForSingleObject(overlapped.hEvent, 500) != platform::kWaitObject0) {
        platform::CancelIo(file);
        platform::GetOverlappedResult(file, &overlapped, &count, true);
        result = "pending";
    } else if (platform::GetOverlappedResult(file, &overlapped, &count, false)) {
        result = write ? "ok" : "ok " + std::to_string(count);
    } else {
        result = "error " + std::to_string(platform::GetLastError());
    }
    platform::CloseHandle(overlapped.hEvent);
    return result;
}

struct Collection {
    std::string productId;  // four lower-case hex digits
    uint32_t in = 0, out = 0;
    uint8_t id = 0;
};

void askCollection(const std::string& path, const Collection& c) {
    std::u16string wide(path.begin(), path.end());
    Handle file = platform::CreateFileW(wide.c_str(), platform::kGenericRead | platform::kGenericWrite,
                                        platform::kFileShareRead | platform::kFileShareWrite, nullptr,
                                        platform::kOpenExisting, platform::kFileFlagOverlapped, nullptr);
    std::printf("collection pid_%s: input %u, output %u, id %u\n", c.productId.c_str(), c.in, c.out, c.id);
    if (!platform::isValidHandle(file)) {
        std::printf("open: error %u\n", platform::GetLastError());
        return;
    }
    uint32_t in = c.in, out = c.out;
    uint8_t id = c.id;
    for (uint32_t length : {0u, 1u, out - 1, out, out + 1}) {
        std::vector<uint8_t> report(length, 0x5A);
        if (length > 0) report[0] = id;
        std::printf("write %u bytes, id %u: %s\n", length, id, answer(file, true, report).c_str());
    }
    std::vector<uint8_t> undeclared(out, 0x5A);
    undeclared[0] = 0x7F;
    std::printf("write %u bytes, id 127: %s\n", out, answer(file, true, undeclared).c_str());
    for (uint32_t length : {in - 1, in}) {
        std::vector<uint8_t> buffer(length, 0);
        std::printf("read into %u bytes: %s\n", length, answer(file, false, buffer).c_str());
    }
    platform::CloseHandle(file);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> paths = hidPaths();
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        Collection c;
        unsigned in = 0, out = 0, id = 0;
        char productId[5] = {};
        if (std::sscanf(argv[i], "%4[0-9a-fA-F]:%u:%u:%u", productId, &in, &out, &id) != 4 || in < 2 || out < 2) {
            std::fprintf(stderr, "hid_rules: not PID:INPUT:OUTPUT:ID: %s\n", argv[i]);
            return 2;
        }
        c.productId = productId;
        std::transform(c.productId.begin(), c.productId.end(), c.productId.begin(),
                       [](char ch) { return static_cast<char>(std::tolower(ch)); });
        c.in = in;
        c.out = out;
        c.id = static_cast<uint8_t>(id);
        auto found = std::find_if(paths.begin(), paths.end(), [&c](const std::string& path) {
            std::string lower = path;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](char ch) { return static_cast<char>(std::tolower(ch)); });
            return lower.find("pid_" + c.productId) != std::string::npos;
        });
        if (found == paths.end()) {
            std::printf("collection pid_%s: not found\n", c.productId.c_str());
            ++failures;
            continue;
        }
        askCollection(*found, c);
    }
    return failures == 0 ? 0 : 1;
}
