// Driver key names asked of host controllers and hub ports: the sizes of
// the second requests, and answers that must not be trusted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "enum/driver_keys.h"
#include "enum/name_request.h"
#include "enum_fixture.h"
#include "platform/kernel.h"

namespace {

constexpr const char* kControllerKey = "{36FC9E60-C465-11CF-8056-444553540000}\\0042";
constexpr const char* kDeviceKey = "{36fc9e60-c465-11cf-8056-444553540000}\\0007";

class DriverKeys : public testsupport::SimulatedMachineTest {
protected:
    // Asks through a freshly opened handle; the name (or "(none)") and the
    // request sizes ("in=N out=N") that it took.
    std::string ask(bool controller, std::vector<std::string>* sizes = nullptr) {
        sim::HostController c = sim::machineCopy().controllers[0];
        testsupport::OpenHandle handle(controller ? testsupport::openController(c.interface.path)
                                               : testsupport::openHub(testsupport::kRootHubName));
        sim::startJournal();
        char* name = controller ? getHostControllerDriverKey(handle.get()) : getPortDriverKey(handle.get(), 1);
        for (const sim::JournalRecord& record : sim::journal())
            if (sizes != nullptr && record.operation == "DeviceIoControl")
                sizes->push_back(record.arguments.substr(record.arguments.find("in=")));
        std::string text = name == nullptr ? "(none)" : name;
        platform::HeapFreeBlock(name);
        return text;
    }
    void install(const std::function<void(sim::HostController&)>& edit) {
        sim::installMachine(sim::MachineBuilder()
                                .controller(sim::ControllerBuilder()
                                                .driverKey(kControllerKey)
                                                .rootHub(sim::HubBuilder(4).name(testsupport::kRootHubName).device(
                                                    1, sim::DeviceBuilder(0x1A2B, 0x0200).driverKey(kDeviceKey)))
                                                .edit(edit))
                                .build());
    }
};

}  // namespace

TEST_F(DriverKeys, SecondRequestIsActualLengthForAControllerAndTenMoreForAPort) {
    install([](sim::HostController&) {});
    std::vector<std::string> sizes;
    EXPECT_EQ(ask(true, &sizes), kControllerKey);
    // ActualLength: 4 bytes, 43 characters and the terminator.
    EXPECT_EQ(sizes, (std::vector<std::string>{"in=6 out=6", "in=92 out=92"}));
    sizes.clear();
    EXPECT_EQ(ask(false, &sizes), kDeviceKey);
    // ActualLength: 8 bytes, 43 characters and the terminator; plus 10.
    EXPECT_EQ(sizes, (std::vector<std::string>{"in=10 out=10", "in=106 out=106"}));
}

TEST_F(DriverKeys, ImplausibleActualLengthsGiveNoNameAndNoSecondRequest) {
    for (uint32_t reported : {0u, 4u, 6u, 0xFFFFFFF0u, 0x7FFFFFFFu}) {
        install([reported](sim::HostController& c) {
            c.driverKeyAnswer.actualLength = reported;
            c.rootHub.ports[0].driverKeyAnswer.actualLength = reported;
        });
        std::vector<std::string> sizes;
        EXPECT_EQ(ask(true, &sizes), "(none)") << reported;
        EXPECT_EQ(sizes.size(), 1u);
        // A port asks again for any ActualLength above 0 that fits.
        if (reported == 4 || reported == 6) continue;
        sizes.clear();
        EXPECT_EQ(ask(false, &sizes), "(none)") << reported;
        EXPECT_EQ(sizes.size(), 1u);
    }
}

TEST_F(DriverKeys, FailedOrEmptySecondAnswersGiveNoName) {
    install([](sim::HostController& c) {
        c.driverKeyAnswer.bytesReturned = 0;
        c.rootHub.ports[0].driverKeyAnswer.bytesReturned = 0;
    });
    EXPECT_EQ(ask(true), "(none)");
    EXPECT_EQ(ask(false), "(none)");
    install([](sim::HostController&) {});
    for (bool controller : {true, false}) {
        sim::failNthCall("DeviceIoControl", 2, platform::kErrorGenFailure);
        EXPECT_EQ(ask(controller), "(none)");  // and the buffer is released
        sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory);
        EXPECT_EQ(ask(controller), "(none)");
    }
}

TEST_F(DriverKeys, NameThatFillsItsWholeAnswerIsCutInsideIt) {
    std::vector<uint8_t> answer(4 + 2 * 5 + 1, 'A');  // no zero code unit anywhere
    char* name = narrowNameAnswer(answer.data(), static_cast<uint32_t>(answer.size()), 4);
    EXPECT_STREQ(name, "AAAA");
    platform::HeapFreeBlock(name);
    EXPECT_EQ(narrowNameAnswer(answer.data(), 5, 4), nullptr);  // not one whole code unit
}
