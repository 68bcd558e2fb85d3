// The component over a fast simulated bus with the stand-in's caller-ID devices and
// a message pump as the user-interface thread; a host that records every event; the
// audit checked when the component is gone, and a watchdog against hangs.
#pragma once

#include "component/norvellix_component.h"
#include "hidcontroller/message_pump.h"
#include "hidcontroller/tests/watchdog.h"
#include "platform/simulated_bus.h"
#include "standin/callerid_device.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace component::testing {

using namespace std::chrono_literals;

struct Event {
    std::string name; // "OnCallerID", "OnDeviceConnection", "OnDeviceDisconnected"
    std::string serial;
    CallerIdRecord call; // OnCallerID only
};

class RecordingHost final : public ComponentEvents, public ComponentHost {
public:
    void OnCallerID(const CallerIdRecord& call) override;
    void OnDeviceConnection(const std::string& DevSerialNo) override;
    void OnDeviceDisconnected(const std::string& DevSerialNo) override;
    std::string dateText() override { return "10.12.2026"; }
    std::string timeText() override { return "11:30:15"; }
    std::uint32_t randomSeed() override { return ++seed; }

    int count(const std::string& name) const;
    std::vector<Event> of(const std::string& name) const;

    std::vector<Event> events;
    std::uint32_t seed = 0;
    // Run inside OnDeviceConnection.
    std::function<void()> onConnection;
};

// Where a line's call starts, in samples of the bus clock (8000 per second).
struct PlacedCall {
    int line = 1; // 1..4
    long firstSample = 12000;
    standin::MessageFormat format = standin::MessageFormat::MultipleData;
    std::string number;
};

class ComponentRig : public ::testing::Test {
protected:
    void TearDown() override;

    // A caller-ID device whose lines idle at 128 and carry the given calls.
    platform::DeviceId addDevice(std::optional<std::u16string> serial,
                                 const std::vector<PlacedCall>& calls = {},
                                 platform::DeviceDescription d = {});
    void create();
    // Dispatches until `done` holds (false after `limit`).
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);
    void settle();
    void act(platform::DeviceId d, platform::DeviceAction a);
    // The start commands the device accepted.
    std::vector<platform::OutputReport> startCommands(platform::DeviceId d) const;

    hidcontroller::testing::Watchdog watchdog{std::chrono::seconds(60)};
    platform::SimulatedBus bus{platform::ClockMode::Fast};
    platform::SimulatedApi api{bus};
    hidcontroller::MessagePump pump{&bus};
    RecordingHost host;
    std::unique_ptr<TNorvellix_Component> component;
};

} // namespace component::testing
