// Driver key names asked of host controllers and hub ports: the two-step
// requests, their different second sizes, and answers that must not be
// trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "enum/driver_keys.h"
#include "enum_test_machine.h"
#include "platform/kernel.h"

using enumtest::OpenHandle;

namespace {

class DriverKeys : public enumtest::SimulatedMachineTest {
protected:
    std::string keyOf(char* name) {
        std::string text = name == nullptr ? "(none)" : name;
        platform::HeapFreeBlock(name);
        return text;
    }
    // The sizes of the DeviceIoControl calls journaled since startJournal.
    std::vector<std::string> requestSizes() {
        std::vector<std::string> sizes;
        for (const sim::JournalRecord& record : sim::journal())
            if (record.operation == "DeviceIoControl") sizes.push_back(record.arguments.substr(record.arguments.find(" in=") + 1));
        return sizes;
    }
};

sim::HostController controllerWith(const std::function<void(sim::HostController&)>& edit) {
    sim::HostController controller = sim::ControllerBuilder().driverKey("{36FC9E60-C465-11CF-8056-444553540000}\\0042").edit(edit).build();
    sim::installMachine(sim::MachineBuilder().controller(controller).build());
    return controller;
}

}  // namespace

TEST_F(DriverKeys, HostControllerNameUsesActualLengthForItsSecondRequest) {
    sim::HostController controller = controllerWith([](sim::HostController&) {});
    OpenHandle handle(enumtest::openController(controller.interface.path));
    ASSERT_TRUE(platform::isValidHandle(handle.get()));
    sim::startJournal();
    EXPECT_EQ(keyOf(getHostControllerDriverKey(handle.get())), "{36FC9E60-C465-11CF-8056-444553540000}\\0042");
    // 4 bytes of ActualLength, 43 characters and the terminator.
    EXPECT_EQ(requestSizes(), (std::vector<std::string>{"in=6 out=6", "in=92 out=92"}));
}

TEST_F(DriverKeys, HostControllerWithoutAUsableNameGivesNone) {
    for (uint32_t reported : {0u, 4u, 6u, 0xFFFFFFF0u}) {
        sim::HostController controller =
            controllerWith([reported](sim::HostController& c) { c.driverKeyAnswer.actualLength = reported; });
        OpenHandle handle(enumtest::openController(controller.interface.path));
        sim::startJournal();
        EXPECT_EQ(getHostControllerDriverKey(handle.get()), nullptr) << reported;
        EXPECT_EQ(sim::journalCount("DeviceIoControl"), 1u);
    }
    sim::HostController controller =
        controllerWith([](sim::HostController& c) { c.driverKeyAnswer.failWith = platform::kErrorGenFailure; });
    OpenHandle failing(enumtest::openController(controller.interface.path));
    EXPECT_EQ(getHostControllerDriverKey(failing.get()), nullptr);

    // The second request returns no bytes, or fails, or its buffer cannot
    // be had: none, and the buffer is released.
    controller = controllerWith([](sim::HostController& c) { c.driverKeyAnswer.bytesReturned = 0; });
    OpenHandle silent(enumtest::openController(controller.interface.path));
    EXPECT_EQ(getHostControllerDriverKey(silent.get()), nullptr);
    sim::failNthCall("DeviceIoControl", 2, platform::kErrorGenFailure);
    EXPECT_EQ(getHostControllerDriverKey(silent.get()), nullptr);
    sim::failNthCall("HeapAlloc", 1, platform::kErrorNotEnoughMemory);
    EXPECT_EQ(getHostControllerDriverKey(silent.get()), nullptr);
    EXPECT_EQ(getHostControllerDriverKey(nullptr), nullptr);
}

TEST_F(DriverKeys, PortNameAsksForActualLengthPlusTen) {
    enumtest::installWithDevice(sim::DeviceBuilder(0x1A2B, 0x0200).driverKey("{36fc9e60-c465-11cf-8056-444553540000}\\0007"));
    OpenHandle hub(enumtest::openHub(enumtest::kRootHubName));
    sim::startJournal();
    EXPECT_EQ(keyOf(getPortDriverKey(hub.get(), 1)), "{36fc9e60-c465-11cf-8056-444553540000}\\0007");
    // ActualLength is 8 + 2 * 44 = 96; the second request has 106 bytes.
    EXPECT_EQ(requestSizes(), (std::vector<std::string>{"in=10 out=10", "in=106 out=106"}));
    EXPECT_EQ(getPortDriverKey(hub.get(), 2), nullptr);  // nothing on the port
    EXPECT_EQ(getPortDriverKey(nullptr, 1), nullptr);
}

TEST_F(DriverKeys, PortWithoutAUsableNameGivesNone) {
    for (uint32_t reported : {0u, 0xFFFFFFF6u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        enumtest::installWithDevice(sim::DeviceBuilder(0x1A2B, 0x0201).edit([](sim::Device&) {}));
        sim::withMachine([reported](sim::Machine& m) {
            sim::findPort(m, {0, 1})->driverKeyAnswer.actualLength = reported;
        });
        OpenHandle hub(enumtest::openHub(enumtest::kRootHubName));
        sim::startJournal();
        EXPECT_EQ(getPortDriverKey(hub.get(), 1), nullptr) << reported;
        EXPECT_EQ(sim::journalCount("DeviceIoControl"), 1u);
    }
    enumtest::installWithDevice(sim::DeviceBuilder(0x1A2B, 0x0202));
    sim::withMachine([](sim::Machine& m) { sim::findPort(m, {0, 1})->driverKeyAnswer.bytesReturned = 0; });
    OpenHandle hub(enumtest::openHub(enumtest::kRootHubName));
    EXPECT_EQ(getPortDriverKey(hub.get(), 1), nullptr);
    sim::failNthCall("DeviceIoControl", 2, platform::kErrorGenFailure);
    EXPECT_EQ(getPortDriverKey(hub.get(), 1), nullptr);
}

TEST_F(DriverKeys, NameThatFillsItsWholeAnswerIsCutInsideIt) {
    // An answer with no zero code unit anywhere: the text ends before the
    // last whole code unit, inside the answer.
    std::vector<uint8_t> answer(4 + 2 * 5 + 1, 'A');
    char* name = narrowNameAnswer(answer.data(), static_cast<uint32_t>(answer.size()), 4);
    EXPECT_STREQ(name, "AAAA");
    platform::HeapFreeBlock(name);
    EXPECT_EQ(narrowNameAnswer(answer.data(), 5, 4), nullptr);  // not even one code unit
}
