// A CRM control over the simulated bus in fast mode, with a host that records
// every event, for the control's tests: devices whose four lines play scripted
// signals, and a timer that ticks only while the control has it enabled.
#pragma once

#include "crmcontrol/crm_control.h"
#include "devicelink/hid_module.h"
#include "platform/simulated_bus.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace crmcontrol::testing {

struct EventRecord {
    std::string event; // "OnCallerID", "OnDeviceConnection", "OnDeviceDisconnected"
    std::vector<std::string> args;
    long tick = 0; // the rig's tick in which it was raised
};

class RecordingEvents : public ControlEvents {
public:
    void OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber, std::string& CallDate,
                    std::string& CallTime, std::string& PhoneNumber) override;
    void OnDeviceConnection(std::string& DeviceSerialNumber_1,
                            std::string& DeviceSerialNumber_2) override;
    void OnDeviceDisconnected(std::string& DeviceSerialNumber_1,
                              std::string& DeviceSerialNumber_2) override;

    int count(const std::string& event) const;
    std::vector<EventRecord> of(const std::string& event) const;
    // Every event in order as its name followed by its arguments.
    std::vector<std::vector<std::string>> sequence() const;

    std::vector<EventRecord> records;
    long currentTick = 0;
    // Run inside the handler, with the event's own arguments.
    std::function<void(std::string&, std::string&)> onConnection;
    std::function<void()> onCallerID;
};

class FakeHost : public HostServices {
public:
    std::string dateText() override { return date; }
    std::string timeText() override { return time; }
    // The next fixed value while any are queued, then a seeded generator.
    double Rnd() override;

    std::string date = "10.12.2026";
    std::string time = "09:30:15";
    std::vector<double> fixed;
    std::size_t nextFixed = 0;
    std::minstd_rand generator{12345};
};

// Four lines of one device: each a constant level plus signals placed at sample
// indexes of the bus clock (8000 samples per second from time 0).
class ScriptedLines : public platform::ReportSource {
public:
    void fillInputReport(platform::Microseconds firstSample,
                         std::span<std::uint8_t> report) override;

    // Plays `samples` (added to the level, clipped to 0..255) on line position 1..4
    // from the given sample index on.
    void play(int position, long firstSample, std::vector<int> samples);
    // Whole reports from the given sample index on give these 16 values on a line,
    // in place of its level and signals, until `lastSample`; a later pattern wins.
    void pattern(int position, long firstSample, long lastSample, std::array<int, 16> values);

    std::array<int, 4> level = {128, 128, 128, 128};

private:
    struct Segment {
        long first;
        std::vector<int> samples;
    };
    struct Pattern {
        long first, last;
        std::array<int, 16> values;
    };
    std::array<std::vector<Segment>, 4> segments_;
    std::array<std::vector<Pattern>, 4> patterns_;
};

inline constexpr long kSamplesPerSecond = 8000;
inline long sampleAt(platform::Microseconds t) {
    return static_cast<long>(t.count() / 125);
}

class ControlRig {
public:
    struct Device {
        platform::DeviceId id = 0;
        ScriptedLines* lines = nullptr; // owned by the bus
        std::string serial;             // the path serial: the instance id
    };

    ControlRig();
    ~ControlRig();

    // A caller-ID device whose interface path carries `instance` (8 hex digits).
    Device addDevice(const std::string& instance, bool plugged = true);

    // The host's timer: one tick every timerPeriod while the control enables it.
    // Returns the number of ticks that ran.
    int runTicks(int n);
    // Ticks until `done` holds after a tick, at most `limit` ticks; false on the limit.
    bool tickUntil(const std::function<bool()>& done, int limit);

    // Start commands and other output reports the device accepted.
    std::size_t outputCount(const Device& d) const { return bus.outputReports(d.id).size(); }

    platform::SimulatedBus bus{platform::ClockMode::Fast};
    platform::SimulatedApi api{bus};
    devicelink::HIDmodule link{api, devicelink::Variant::CrmControl};
    RecordingEvents events;
    FakeHost host;
    std::unique_ptr<CrmControl> control;
    // The time from one tick to the next, beside the tick's own waits: the 1 ms the
    // timer asks for, or the 10 to 16 ms that Windows (and Wine) give it.
    platform::Microseconds timerPeriod{1000};
    long ticks = 0;
    // The longest tick so far on the bus clock: in fast mode a tick's time is its
    // read limits waited out (500 ms each) and the reports it waited for (2 ms each).
    platform::Microseconds longestTick{0};
};

// Connection on a freshly started control with the given devices plugged.
bool startAndConnect(ControlRig& rig, int limit = 200);

// A test over one rig: when it ends, the control is terminated and the bus's audit
// must show no handle used or closed after it was closed, and none left open.
class RigTest : public ::testing::Test {
protected:
    void TearDown() override;
    ControlRig rig;
};

} // namespace crmcontrol::testing
