// The recorder's form over the simulated bus in fast mode, with stand-in caller-ID
// devices whose lines the test scripts, a host that records its message boxes and a
// store in memory. The bus's audit is checked after every test.
#pragma once

#include "devicelink/hid_module.h"
#include "devicelink/tests/recording_api.h"
#include "platform/simulated_bus.h"
#include "recorder/recorder_form.h"
#include "recorder/tests/memory_store.h"
#include "standin/callerid_device.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace recorder::testing {

class FakeRecorderHost final : public RecorderHost {
public:
    std::string dateText() override { return date; }
    std::string timeText() override { return time; }
    RandomGenerator& random() override { return generator; }
    void DoEvents() override {
        ++doEventsCalls;
        if (onDoEvents)
            onDoEvents();
    }
    void MsgBox(const std::string& text, const std::string& title) override {
        messages.push_back({text, title});
    }

    struct Message {
        std::string text, title;
    };
    std::string date = "22.05.2017";
    std::string time = "13:36:04";
    ClockSeededRandom generator{[] { return std::uint64_t{2017}; }};
    long doEventsCalls = 0;
    std::function<void()> onDoEvents;
    std::vector<Message> messages;
};

using Lines = std::array<standin::LineSignal, standin::kLinesPerDevice>;

class RecorderTest : public ::testing::Test {
protected:
    struct Device {
        platform::DeviceId id = 0;
        std::string serial;
        Lines lines; // a copy of what the device plays
    };

    // A caller-ID device whose path carries `instance`, playing `lines`.
    Device addDevice(const std::string& instance, Lines lines, bool plugged = true) {
        platform::DeviceDescription description;
        description.instanceId = instance;
        Device d{0, instance, lines};
        d.id = bus.addDevice(description,
                             std::make_unique<standin::CallerIdDeviceSource>(std::move(lines)),
                             plugged);
        return d;
    }

    // The timer: one tick per millisecond while the form has it enabled.
    void runTicks(int n) {
        for (int i = 0; i < n; ++i) {
            if (form->timerEnabled())
                form->Timer1_Timer();
            bus.advance(std::chrono::milliseconds(1));
        }
    }
    // Ticks until `done` holds after a tick; false after `limit` ticks.
    bool tickUntil(const std::function<bool()>& done, int limit) {
        for (int i = 0; i < limit; ++i) {
            runTicks(1);
            if (done())
                return true;
        }
        return false;
    }
    bool connectAndCalibrate(int limit = 100) {
        return tickUntil([&] { return form->CalibrationDone(); }, limit);
    }

    void TearDown() override {
        const platform::Audit during = bus.audit();
        EXPECT_TRUE(during.misuse.empty()) << during.describe();
        form->Form_Unload();
        form.reset();
        link.reset();
        const platform::Audit after = bus.audit();
        EXPECT_TRUE(after.clean()) << after.describe();
    }

    platform::SimulatedBus bus{platform::ClockMode::Fast};
    platform::SimulatedApi simulated{bus};
    devicelink::testing::RecordingApi api{simulated};
    std::unique_ptr<devicelink::HIDmodule> link =
        std::make_unique<devicelink::HIDmodule>(api, devicelink::Variant::Recorder);
    FakeRecorderHost host;
    MemoryStore store;
    std::unique_ptr<RecorderForm> form = std::make_unique<RecorderForm>(*link, host, store);
};

} // namespace recorder::testing
