#include "sequence.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include "fake_jvm.h"
#include "platform/crt.h"
#include "platform/sim/model/text.h"

namespace {

// The trace key file names the trace files' base; c:\temp is made by the
// program that runs the sequence.
const char* const kKeyFile = "c:\\temp\\tolvwinusbdebug.key";
const char* const kTraceBase = "c:\\temp\\desk-sequence";
// Long enough for a device's answer, short for a pipe that never answers.
constexpr jint kTransferTimeoutMs = 200;

struct List {
    uint32_t vendor;
    jint id;
};

class Sequence {
public:
    Sequence(const TamberlyxDll& methods, const DeskHands& hands) : m_(methods), hands_(hands) {}

    int run(const sim::Machine& machine) {
        handle_ = m_.usbInitialize(env(), nullptr);
        std::printf("usbInitialize: %d\n", static_cast<int>(handle_));
        traced("create FFFF", [&] { createList(0xFFFF); });
        createList(0x0000);
        for (uint32_t vendor : vendorsPresent()) createList(vendor);
        for (const List& list : lists_) {
            if (list.id < 0) {
                std::fprintf(stderr, "sequence: usbCreateDeviceList(%s) answered %d\n", sim::hex4(list.vendor).c_str(),
                             static_cast<int>(list.id));
                return 1;
            }
            printList(list, "");
        }
        openEach();

        int status = 0;
        std::vector<uint32_t> location;
        if (!chooseDeviceToPull(machine, &location)) {
            std::printf("no device to pull out\n");
        } else if (!change(location, false, "after unplug") || !change(location, true, "after plug")) {
            std::fprintf(stderr, "sequence: the device at %s did not come and go\n", locationText(location).c_str());
            status = 1;
        }
        for (const List& list : lists_) m_.usbReleaseDeviceList(env(), nullptr, list.id);
        m_.usbRelease(env(), nullptr, handle_);
        return status;
    }

private:
    JNIEnv* env() { return jvm_.env(); }

    void createList(uint32_t vendor) {
        lists_.push_back({vendor, m_.usbCreateDeviceList(env(), nullptr, handle_, static_cast<jint>(vendor))});
    }

    std::string record(jint list, jint index) {
        return sim::utf16ToUtf8(jvm_.textOf(m_.usbGetDeviceInfo(env(), nullptr, list, index)));
    }

    void printList(const List& list, const char* when) {
        jint count = m_.usbGetDeviceListCount(env(), nullptr, list.id);
        std::string name = "list " + sim::hex4(list.vendor) + when;
        std::printf("%s: devices %d\n", name.c_str(), static_cast<int>(count));
        for (jint i = 0; i < count; ++i) std::printf("%s: %s\n", name.c_str(), record(list.id, i).c_str());
    }

    // The vendor ids of the 0xFFFF list's records ("1:=VVVV:=PPPP:=...").
    std::set<uint32_t> vendorsPresent() {
        std::set<uint32_t> vendors;
        jint count = m_.usbGetDeviceListCount(env(), nullptr, lists_[0].id);
        for (jint i = 0; i < count; ++i) {
            std::string text = record(lists_[0].id, i);
            size_t start = text.find(":=");
            if (start == std::string::npos) continue;
            vendors.insert(std::strtoul(text.substr(start + 2, 4).c_str(), nullptr, 16));
        }
        return vendors;
    }

    // Opens every device of the 0xFFFF list that the library drives (HID
    // and WinUSB); one that opens tells its device descriptor and texts as
    // the listing stored them, and a WinUSB device also moves data.
    void openEach() {
        jint list = lists_[0].id;
        jint count = m_.usbGetDeviceListCount(env(), nullptr, list);
        for (jint i = 0; i < count; ++i) {
            std::string which = record(list, i);
            if (which.find(":=x:=") == std::string::npos) continue;
            jint opened = m_.usbOpenDevice(env(), nullptr, list, i);
            std::printf("open %s: %d\n", which.c_str(), static_cast<int>(opened));
            if (opened != 0) continue;
            jbyteArray bytes = jvm_.newByteArray(std::vector<jbyte>(18));
            jint answer = m_.usbGetDeviceDescriptor(env(), nullptr, list, i, 1, 0, 18, bytes);
            std::printf("descriptor %s: %d %s\n", which.c_str(), static_cast<int>(answer), hexOf(bytes).c_str());
            for (jint kind = 1; kind <= 3; ++kind) {
                jbyteArray text = jvm_.newByteArray(std::vector<jbyte>(256));
                answer = m_.usbGetDeviceDescriptor(env(), nullptr, list, i, 3, kind, 256, text);
                std::vector<jbyte> got = jvm_.bytesOf(text);
                std::string shown(got.begin(), got.end());
                std::printf("text %d %s: %d %s\n", static_cast<int>(kind), which.c_str(), static_cast<int>(answer),
                            shown.c_str());
            }
            if (which.find(":=b:=end") != std::string::npos) moveData(list, i, which);
            std::printf("close %s: %d\n", which.c_str(), static_cast<int>(m_.usbCloseDevice(env(), nullptr, list, i)));
        }
    }

    // On an open WinUSB device: a vendor request out and back, the device
    // descriptor asked of the device, 64 bytes out on endpoint 1 and a read
    // of its IN pipe, then an abort of that pipe.
    // Each prints its answer and what came back; a device whose pipes do
    // something else answers with its failures and time-outs.
    void moveData(jint list, jint i, const std::string& which) {
        std::vector<jbyte> sent(64);
        for (size_t n = 0; n < sent.size(); ++n) sent[n] = static_cast<jbyte>(n * 7 + 1);
        std::vector<jbyte> control = {0x40, 0x01, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        std::copy(sent.begin(), sent.begin() + 8, control.begin() + 8);
        jint answer = m_.usbWriteControlPipe(env(), nullptr, list, i, 8, 0, jvm_.newByteArray(control));
        std::printf("control out %s: %d\n", which.c_str(), static_cast<int>(answer));
        jbyteArray back = jvm_.newByteArray({static_cast<jbyte>(0xC0), 0x01, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        answer = m_.usbReadControlPipe(env(), nullptr, list, i, 8, 0, back);
        std::printf("control in %s: %d %s\n", which.c_str(), static_cast<int>(answer), hexOf(back).c_str());
        // The device descriptor as the device itself answers a standard
        // request (the listing's copy came from the hub).
        jbyteArray asked = jvm_.newByteArray({static_cast<jbyte>(0x80), 0x06, 0x00, 0x01, 0, 0, 18, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        answer = m_.usbReadControlPipe(env(), nullptr, list, i, 18, 0, asked);
        std::printf("control descriptor %s: %d %s\n", which.c_str(), static_cast<int>(answer), hexOf(asked).c_str());
        answer = m_.usbWriteBulkPipe(env(), nullptr, list, i, 1, 64, kTransferTimeoutMs, jvm_.newByteArray(sent));
        std::printf("bulk out %s: %d\n", which.c_str(), static_cast<int>(answer));
        jbyteArray read = jvm_.newByteArray(std::vector<jbyte>(64));
        answer = m_.usbReadBulkPipe(env(), nullptr, list, i, 1, 64, kTransferTimeoutMs, read);
        std::printf("bulk in %s: %d %s\n", which.c_str(), static_cast<int>(answer), hexOf(read).c_str());
        answer = m_.usbCancelPipeTransfer(env(), nullptr, list, i, 0x81);
        std::printf("abort %s: %d\n", which.c_str(), static_cast<int>(answer));
    }

    std::string hexOf(jbyteArray array) {
        std::string hex;
        for (jbyte b : jvm_.bytesOf(array)) hex += sim::hex4(static_cast<uint8_t>(b)).substr(2);
        return hex;
    }

    // The device to pull out: of the listed devices that are not HID
    // devices, the one whose record sorts first (the machines' orders of
    // controllers differ), found in the machine depth first (not a hub).
    bool chooseDeviceToPull(const sim::Machine& machine, std::vector<uint32_t>* location) {
        std::set<std::string> candidates;
        jint count = m_.usbGetDeviceListCount(env(), nullptr, lists_[0].id);
        for (jint i = 0; i < count; ++i) {
            std::string text = record(lists_[0].id, i);
            if (text.find(":=h:=end") == std::string::npos) candidates.insert(text);
        }
        if (candidates.empty()) return false;
        std::string ids = candidates.begin()->substr(0, 15);  // "1:=VVVV:=PPPP:="
        std::function<bool(const sim::Hub&, std::vector<uint32_t>)> search = [&](const sim::Hub& hub,
                                                                                 std::vector<uint32_t> at) {
            for (size_t port = 0; port < hub.ports.size(); ++port) {
                if (!hub.ports[port].device) continue;
                const sim::Device& device = *hub.ports[port].device;
                at.push_back(static_cast<uint32_t>(port + 1));
                if (device.isHub && search(device.hub, at)) return true;
                if (!device.isHub && device.hidInterfaces.empty() &&
                    ids == "1:=" + sim::hex4(device.descriptor.idVendor) + ":=" +
                               sim::hex4(device.descriptor.idProduct) + ":=") {
                    *location = at;
                    return true;
                }
                at.pop_back();
            }
            return false;
        };
        for (size_t c = 0; c < machine.controllers.size(); ++c)
            if (search(machine.controllers[c].rootHub, {static_cast<uint32_t>(c)})) return true;
        return false;
    }

    static std::string locationText(const std::vector<uint32_t>& location) {
        std::string text;
        for (size_t i = 0; i < location.size(); ++i)
            text += (i == 0 ? "" : i == 1 ? ":" : ".") + std::to_string(location[i]);
        return text;
    }

    // Plugs the device in or pulls it out, prints the companion's runs for
    // the change (waited for: 5 s at most, then a little longer, so that a
    // second run would show), then updates every list.
    bool change(const std::vector<uint32_t>& location, bool present, const char* when) {
        size_t before = hands_.companionRuns().size();
        if (!hands_.plug(location, present)) return false;
        for (int waited = 0; waited < 5000 && hands_.companionRuns().size() == before; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::vector<std::string> runs = hands_.companionRuns();
        for (size_t i = before; i < runs.size(); ++i) std::printf("companion %s: %s\n", when, runs[i].c_str());
        return updateAll(when);
    }

    // Updates every list (the 0xFFFF list's update traced) and prints each
    // list's change records and records.
    bool updateAll(const char* when) {
        bool updated = true;
        traced(std::string("update FFFF ") + when,
               [&] { updated = m_.usbUpdateDeviceList(env(), nullptr, lists_[0].id, 0) >= 0; });
        for (size_t i = 1; i < lists_.size(); ++i)
            updated &= m_.usbUpdateDeviceList(env(), nullptr, lists_[i].id, 0) >= 0;
        for (const List& list : lists_) {
            std::string name = sim::hex4(list.vendor) + " " + when;
            for (int n = 0; n < 100; ++n) {
                std::string change = sim::utf16ToUtf8(jvm_.textOf(m_.usbGetChangeInfo(env(), nullptr, list.id, 0)));
                if (change.empty()) break;
                std::printf("change %s: %s\n", name.c_str(), change.c_str());
            }
            printList(list, (std::string(" ") + when).c_str());
        }
        return updated;
    }

    static void writeFile(const std::string& path, const char* text) {
        platform::CrtFile* file = platform::crtOpen(path.c_str(), "w");
        if (file == nullptr) return;
        platform::crtWrite(text, file);
        platform::crtClose(file);
    }

    static std::string traceFile(int number) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%02d.txt", kTraceBase, number);
        return name;
    }

    // Runs one list operation with the trace on and prints the trace file it
    // wrote, but for the tick count it began at. The file numbers are
    // shared machine-wide, so all ten are emptied first; an empty key file
    // then turns the trace off for the operations that follow.
    template <typename Operation>
    void traced(const std::string& name, Operation operation) {
        for (int number = 0; number < 10; ++number) writeFile(traceFile(number), "");
        writeFile(kKeyFile, (std::string(kTraceBase) + "\n").c_str());
        operation();
        writeFile(kKeyFile, "");
        for (int number = 0; number < 10; ++number) {
            platform::CrtFile* file = platform::crtOpen(traceFile(number).c_str(), "r");
            if (file == nullptr) continue;
            char line[1024];
            for (int n = 0; platform::crtReadLine(line, sizeof line, file) != nullptr; ++n) {
                std::string text(line);
                while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
                if (n == 1) text = "<ticks>";
                std::printf("trace %s: %s\n", name.c_str(), text.c_str());
            }
            platform::crtClose(file);
        }
    }

    const TamberlyxDll& m_;
    const DeskHands& hands_;
    FakeJvm jvm_;
    jint handle_ = -1;
    std::vector<List> lists_;
};

}  // namespace

int runSequence(const TamberlyxDll& methods, const sim::Machine& machine, const DeskHands& hands) {
    return Sequence(methods, hands).run(machine);
}
