// Bench files: the built-in bench, the README's worked example, refusals
// that name the file and line, and machines named from the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "platform/sim/model/bench.h"
#include "platform/sim/model/machine_builder.h"
#include "sim_fixture.h"

namespace {

std::vector<sim::Device*> allDevices(sim::Machine& m) {
    std::vector<sim::Device*> out;
    std::function<void(std::vector<sim::Port>&)> walk = [&](std::vector<sim::Port>& ports) {
        for (sim::Port& p : ports) {
            if (!p.device) continue;
            out.push_back(&*p.device);
            if (p.device->isHub) walk(p.device->hub.ports);
        }
    };
    for (sim::HostController& c : m.controllers) walk(c.rootHub.ports);
    return out;
}

std::u16string stringOf(const sim::Device& d, uint8_t index, uint16_t language) {
    auto byIndex = d.strings.find(index);
    if (byIndex == d.strings.end() || !byIndex->second.count(language)) return u"(none)";
    const std::vector<uint8_t>& b = byIndex->second.at(language).bytes;
    std::u16string out;
    for (size_t i = 2; i + 1 < b.size(); i += 2) out += static_cast<char16_t>(b[i] | b[i + 1] << 8);
    return out;
}

void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str(), 1);
#endif
}

std::string refusal(const std::string& text) {
    sim::Machine m;
    std::string error;
    EXPECT_FALSE(sim::parseBench(text, "bench.json", &m, &error));
    return error;
}

TEST(BenchFiles, TheBuiltInDeskHoldsEveryKindOfDevice) {
    sim::Machine m = sim::defaultBench();
    ASSERT_GE(m.controllers.size(), 2u);
    int nonPci = 0;
    for (const sim::HostController& c : m.controllers)
        if (c.node.instanceId && c.node.instanceId->rfind("PCI\\", 0) != 0) ++nonPci;
    EXPECT_GE(nonPci, 1);

    std::vector<sim::Device*> devices = allDevices(m);
    auto withService = [&](const std::string& service) {
        std::vector<sim::Device*> out;
        for (sim::Device* d : devices)
            if (d->node.service == service) out.push_back(d);
        return out;
    };
    // An external hub with a device behind it.
    bool deviceBehindHub = false;
    for (sim::Device* d : devices)
        if (d->isHub)
            for (const sim::Port& p : d->hub.ports) deviceBehindHub |= p.device.has_value();
    EXPECT_TRUE(deviceBehindHub);

    bool loopback = false;
    for (sim::Device* d : withService("WinUSB"))
        for (const sim::PipeBehaviour& p : d->winUsb.pipes)
            loopback |= p.pipe == 0x01 && p.kind == sim::PipeKind::Loopback && p.pairedPipe == 0x81 &&
                        d->winUsb.vendorControlEcho;
    EXPECT_TRUE(loopback);

    bool hidEcho = false;
    for (sim::Device* d : withService("HidUsb"))
        for (const sim::HidInterface& h : d->hidInterfaces)
            hidEcho |= h.behaviour.kind == sim::HidReportKind::Echo && h.behaviour.inputReportLength == 65 &&
                       h.manufacturer && h.product && h.serialNumber && h.vendorId == d->descriptor.idVendor;
    EXPECT_TRUE(hidEcho);

    bool association = false, twoLanguages = false, latin1 = false, noStrings = false;
    for (sim::Device* d : devices) {
        const std::vector<uint8_t>& config = d->configurations.at(0).bytes;
        for (size_t i = 0; i + 1 < config.size() && config[i] != 0; i += config[i]) association |= config[i + 1] == 11;
        twoLanguages |= d->languages && d->languages->bytes.size() == 6 &&
                        stringOf(*d, 2, 0x0409) != stringOf(*d, 2, 0x0407);
        latin1 |= stringOf(*d, d->descriptor.iProduct, 0x0409).find(u'\u00e9') != std::u16string::npos;
        noStrings |= !d->isHub && d->descriptor.iManufacturer == 0 && d->descriptor.iProduct == 0 &&
                     d->descriptor.iSerialNumber == 0 && d->strings.empty();
    }
    EXPECT_TRUE(association);
    EXPECT_TRUE(twoLanguages);
    EXPECT_TRUE(latin1);
    EXPECT_TRUE(noStrings);
    EXPECT_EQ(withService("USBSTOR").size(), 1u);
    int withoutService = 0;
    for (sim::Device* d : devices) withoutService += d->node.service ? 0 : 1;
    EXPECT_GE(withoutService, 1);

    // No two listed devices look alike to the caller.
    std::set<std::tuple<uint16_t, uint16_t, uint16_t, std::u16string, std::u16string, std::u16string>> seen;
    for (sim::Device* d : devices) {
        if (!d->node.service || d->isHub) continue;
        auto key = std::make_tuple(d->descriptor.idVendor, d->descriptor.idProduct, d->descriptor.bcdDevice,
                                   stringOf(*d, 1, 0x0409), stringOf(*d, 2, 0x0409), stringOf(*d, 3, 0x0409));
        EXPECT_TRUE(seen.insert(key).second) << std::hex << d->descriptor.idVendor;
    }
}

TEST(BenchFiles, ABenchReadTwiceNamesEverythingTheSame) {
    sim::Machine a = sim::defaultBench(), b = sim::defaultBench();
    std::vector<sim::Device*> da = allDevices(a), db = allDevices(b);
    ASSERT_EQ(da.size(), db.size());
    for (size_t i = 0; i < da.size(); ++i) {
        EXPECT_EQ(da[i]->driverKey, db[i]->driverKey);
        EXPECT_EQ(da[i]->usbInterface.path, db[i]->usbInterface.path);
    }
    EXPECT_EQ(a.controllers[0].rootHub.name, b.controllers[0].rootHub.name);
    // ...and no two things share a driver key.
    std::set<std::string> keys;
    for (sim::Device* d : da) EXPECT_TRUE(keys.insert(d->driverKey).second);
    for (const sim::HostController& c : a.controllers) EXPECT_TRUE(keys.insert(c.driverKey).second);
}

TEST(BenchFiles, TheReadmeExampleReadsAsItSays) {
    // The source tree as the build names it: __FILE__ may be relative to
    // the directory the compiler ran in, which is not where the test runs.
    std::string readmePath = std::string(TAMBERLYX_SOURCE_DIR) + "/README.md";
    std::ifstream file(readmePath);
    ASSERT_TRUE(file) << readmePath;
    std::stringstream all;
    all << file.rdbuf();
    std::string readme = all.str();
    size_t section = readme.find("### Bench format");
    ASSERT_NE(section, std::string::npos);
    size_t start = readme.find("```json\n", section);
    ASSERT_NE(start, std::string::npos);
    start += 8;
    std::string example = readme.substr(start, readme.find("```", start) - start);

    sim::Machine m;
    std::string error;
    ASSERT_TRUE(sim::parseBench(example, "README.md", &m, &error)) << error;
    ASSERT_EQ(m.controllers.size(), 1u);
    sim::Port* loop = sim::findPort(m, {0, 1});
    ASSERT_TRUE(loop && loop->device);
    EXPECT_EQ(loop->device->node.service, "WinUSB");
    sim::Port* pad = sim::findPort(m, {0, 2, 1});
    ASSERT_TRUE(pad && pad->device);
    EXPECT_EQ(pad->device->node.service, "HidUsb");
    EXPECT_EQ(pad->device->strings.at(2).at(0x0409).failWith, 31u);
    EXPECT_EQ(pad->device->hidInterfaces.at(0).product, "Kestra HID Echo");
}

TEST(BenchFiles, RefusalsNameTheFileTheLineAndTheProblem) {
    EXPECT_EQ(refusal("{\n  \"controllers\": [\n    {\"pci\": {\"vendor\": 1,}}\n  ]\n}"),
              "bench.json:3: syntax error while parsing object key - unexpected '}'; expected string literal");
    EXPECT_EQ(refusal(""), "bench.json:1: syntax error while parsing value - unexpected end of input; expected '[', "
                           "'{', or a literal");
    std::string deep =
        "{\"controllers\": [\n"
        "  {\"rootHub\": {\"ports\": {\n"
        "    \"1\": {\"vendorId\": 1, \"productId\": 2},\n"
        "    \"2\": {\"vendorId\": 3,\n"
        "           \"productID\": 4}\n"
        "  }}}\n"
        "]}";
    EXPECT_EQ(refusal(deep), "bench.json:5: unknown key \"productID\" (at /controllers/0/rootHub/ports/2/productID)");
    EXPECT_EQ(refusal("{\"controllers\": [{\"rootHub\": {\"ports\": {\"1\": {\"vendorId\": 1}}}}]}"),
              "bench.json:1: a device needs \"productId\" (at /controllers/0/rootHub/ports/1)");
    EXPECT_EQ(refusal("{\n\"controllers\": [{\"rootHub\": {\"portCount\": 2, \"ports\": {\n\"3\": {}}}}]}"),
              "bench.json:3: port 3 is beyond the hub's portCount (at /controllers/0/rootHub/ports/3)");
    EXPECT_EQ(refusal("{\"controllers\": [{\n// a comment\n\"rootHub\": {\"ports\": {\"1\": {\"vendorId\": \"0x1ZZ\", "
                      "\"productId\": 2}}}}]}"),
              "bench.json:3: \"vendorId\" must be a number from 0 to 65535 "
              "(at /controllers/0/rootHub/ports/1/vendorId)");
    EXPECT_EQ(refusal("{\"controllers\": {}}"), "bench.json:1: \"controllers\" must be an array (at /controllers)");
    EXPECT_EQ(refusal("[]"), "bench.json:1: a bench is a JSON object");

    sim::Machine m;
    std::string error;
    EXPECT_FALSE(sim::loadBenchFile("/nonexistent/bench.json", &m, &error));
    EXPECT_EQ(error, "/nonexistent/bench.json: cannot be read");
}

TEST(BenchFiles, KnobsInABenchReachTheModel) {
    sim::Machine m;
    std::string error;
    ASSERT_TRUE(sim::parseBench(R"({"controllers": [{
        "instanceId": "ACPI\\VTRL0D10\\0",
        "faults": {"powerMap": {"103": 50}, "driverKeyName": {"actualLength": 6}},
        "rootHub": {"portCount": 2, "faults": {"reportedPortCount": 0}, "ports": {
          "2": {"vendorId": 5, "productId": 6, "kind": "winusb", "connectionStatus": 0, "driverKey": null,
                "service": null, "languages": [], "configurationBytes": "09 02 09 00 00 01 00 80 32",
                "faults": {"connectionInfoEx": 31, "configuration": {"bytesReturned": 20},
                           "properties": {"description": 13}}}}}}]})",
                                "knobs.json", &m, &error))
        << error;
    const sim::HostController& c = m.controllers[0];
    EXPECT_EQ(c.powerMap[2].failWith, 50u);
    EXPECT_EQ(c.driverKeyAnswer.actualLength, 6u);
    EXPECT_FALSE(c.node.busNumber.has_value());
    EXPECT_EQ(c.rootHub.reportedPortCount, 0);
    const sim::Port& port = c.rootHub.ports[1];
    ASSERT_TRUE(port.device);
    EXPECT_EQ(port.connectionStatus, 0u);
    EXPECT_EQ(port.connectionInfoExError, 31u);
    EXPECT_TRUE(port.device->driverKey.empty());
    EXPECT_FALSE(port.device->node.driver.has_value());
    EXPECT_FALSE(port.device->node.service.has_value());
    EXPECT_EQ(port.device->configurations[0].bytes.size(), 9u);
    EXPECT_EQ(port.device->configurations[0].bytesReturned, 20u);
    EXPECT_EQ(port.device->node.propertyErrors.at(0), 13u);
}

TEST(BenchFiles, TheEnvironmentNamesTheBench) {
    std::string path = ::testing::TempDir() + "tamberlyx_env_bench.json";
    {
        std::ofstream out(path);
        out << R"({"controllers": [{"rootHub": {"ports": {"1": {"vendorId": 7, "productId": 8}}}}]})";
    }
    setEnvironment("TAMBERLYX_BENCH", path);
    sim::installFromEnvironment();
    sim::Machine m = sim::machineCopy();
    EXPECT_EQ(m.controllers.size(), 1u);
    EXPECT_NE(sim::findDevice(m, 7, 8), nullptr);

    {
        std::ofstream out(path);
        out << "{\"controllers\": [";
    }
    ::testing::internal::CaptureStderr();
    sim::installFromEnvironment();
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path + ":1: syntax error"), std::string::npos) << said;
    EXPECT_TRUE(sim::machineCopy().controllers.empty());

    setEnvironment("TAMBERLYX_BENCH", "");
    sim::installFromEnvironment();
    EXPECT_EQ(sim::machineCopy().controllers.size(), sim::defaultBench().controllers.size());
    std::remove(path.c_str());
}

}  // namespace
