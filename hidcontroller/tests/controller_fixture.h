// Test fixture of the controller: a fast simulated bus, a message pump as the
// user-interface thread (it receives the bus's device-change broadcast), a controller
// made on demand, recorded events, and the audit checked at the end of every test.
#pragma once

#include "hidcontroller/bindings.h"
#include "hidcontroller/hid_device_controller.h"
#include "hidcontroller/message_pump.h"
#include "hidcontroller/tests/watchdog.h"
#include "platform/simulated_bus.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace hidcontroller::testing {

using namespace std::chrono_literals;

// Bytes 1..4 of each report hold its number (first sample time / 2 ms), byte 5 a tag.
class StampSource final : public platform::ReportSource {
public:
    explicit StampSource(std::uint8_t tag = 0) : tag_(tag) {}
    void fillInputReport(platform::Microseconds firstSample,
                         std::span<std::uint8_t> report) override {
        const auto n = static_cast<std::uint32_t>(firstSample / platform::kReportInterval);
        std::memcpy(report.data() + 1, &n, sizeof n);
        report[5] = tag_;
    }

private:
    std::uint8_t tag_;
};

class ControllerTest : public ::testing::Test {
public:
    // The recording handlers.
    void DeviceChanged(THidDeviceController&) { ++deviceChanges; }
    void Arrived(THidDevice& d) { arrivals.push_back(&d); }
    void Removed(THidDevice& d) { removals.push_back(&d); }
    void Unplugged(THidDevice& d) { unplugs.push_back(&d); }
    bool Offered(THidDevice&, int idx) {
        offered.push_back(idx);
        return true;
    }

protected:
    Watchdog watchdog{20s};
    platform::SimulatedBus bus{platform::ClockMode::Fast};
    platform::SimulatedApi api{bus};
    MessagePump pump{&bus};
    std::unique_ptr<THidDeviceController> controller;
    std::vector<std::unique_ptr<THidDevice>> held; // checked-out devices

    // Recorded events.
    int deviceChanges = 0;
    std::vector<THidDevice*> arrivals;
    std::vector<THidDevice*> removals;
    std::vector<THidDevice*> unplugs;
    std::vector<int> offered;

    void TearDown() override {
        held.clear();
        controller.reset();
        pump.runPending();
        const platform::Audit a = bus.audit();
        EXPECT_TRUE(a.clean()) << a.describe();
        EXPECT_EQ(a.loadedModuleReferences, 0) << "a library is still bound";
        EXPECT_EQ(processBindings().setupApi.referenceCount(), 0);
        EXPECT_FALSE(processBindings().hid.IsHidBound());
    }

    platform::DeviceId addDevice(platform::DeviceDescription d = {}, std::uint8_t tag = 0,
                                 bool plugged = true) {
        return bus.addDevice(std::move(d), std::make_unique<StampSource>(tag), plugged);
    }

    // A controller with the recording handlers, after its start-up pass.
    void start() {
        controller = std::make_unique<THidDeviceController>(api, pump);
        controller->setLoading(true);
        controller->SetOnDeviceChange(TNotifyEvent::of<&ControllerTest::DeviceChanged>(*this));
        controller->OnArrival = THidPlugEvent::of<&ControllerTest::Arrived>(*this);
        controller->OnRemoval = THidPlugEvent::of<&ControllerTest::Removed>(*this);
        controller->SetOnDeviceUnplug(THidPlugEvent::of<&ControllerTest::Unplugged>(*this));
        controller->setLoading(false);
        settle();
    }

    // Lets the user-interface thread dispatch what is queued (posted passes included).
    void settle() {
        for (int i = 0; i < 20 && pump.runPending() > 0; ++i) {
        }
    }

    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        return pump.runUntil(done, limit);
    }

    // Plugs or unplugs through the bus (its broadcast reaches the controller's window).
    void act(platform::DeviceId d, platform::DeviceAction a) {
        bus.apply(d, a);
        settle();
    }

    THidDevice& acquire(int index) {
        std::unique_ptr<THidDevice> d;
        EXPECT_TRUE(controller->AcquireDeviceAt(d, index));
        held.push_back(std::move(d));
        return *held.back();
    }
};

} // namespace hidcontroller::testing
