// The line watch of a connected CRM control: activity, the two-stage test, the
// capture with its start command, and which lines are read and captured.
#include "crmcontrol/tests/control_rig.h"
#include "standin/callerid_device.h"

#include <climits>
#include <gtest/gtest.h>

namespace crmcontrol::testing {
namespace {

using Values = std::array<int, 16>;

constexpr int kLevel = 128;

Values around(int level, const std::array<int, 16>& x) {
    Values v{};
    for (int g = 0; g < 16; ++g)
        v[g] = level + x[g];
    return v;
}

// One report's worth of the 1200 Hz mark tone and of the 2200 Hz space tone.
const Values kMark =
    around(kLevel, {0, 81, 95, 31, -59, -100, -59, 31, 95, 81, 0, -81, -95, -31, 59, 100});
const Values kSpace =
    around(kLevel, {0, 99, -31, -89, 59, 71, -81, -45, 95, 16, -100, 16, 95, -45, -81, 71});
const Values kQuiet = around(kLevel, {});

class LineWatchTest : public RigTest {
protected:
    void SetUp() override {
        a = rig.addDevice("aaaa0001");
        ASSERT_TRUE(startAndConnect(rig));
    }
    // From the next report on, line `position` of `d` gives these values.
    void play(const ControlRig::Device& d, int position, const Values& v) {
        d.lines->pattern(position, sampleAt(rig.bus.now()), LONG_MAX, v);
    }
    // Ticks until the line's state shows the pattern arrived.
    bool until(const std::function<bool()>& done) { return rig.tickUntil(done, 40); }
    const LineState& line(int k) const { return rig.control->line(k); }

    ControlRig::Device a;
};

TEST_F(LineWatchTest, ActivityIsTheSumOfDifferencesAndActiveOnlyAboveTheThreshold) {
    struct Case {
        const char* name;
        Values values;
        int activity;
    };
    Values alternating7{}, step100{};
    for (int g = 0; g < 16; ++g) {
        alternating7[g] = kLevel + (g % 2 ? 7 : 0);
        step100[g] = g == 0 ? 20 : 120;
    }
    const Case cases[] = {
        {"constant", kQuiet, 0},
        {"alternating by 7 (15 x 7)", alternating7, 105},
        {"one step of exactly 100", step100, 100},
    };
    for (const auto& c : cases) {
        // Each case starts from a set stage, which a quiet report clears.
        play(a, 1, kMark);
        ASSERT_TRUE(until([&] { return line(1).LineStage; })) << c.name;
        play(a, 1, c.values);
        ASSERT_TRUE(until([&] { return line(1).LineActivity == c.activity; }))
            << c.name << ": expected activity " << c.activity << ", got " << line(1).LineActivity;
        const bool active = c.activity > 100;
        if (!active) {
            EXPECT_FALSE(line(1).LineStage) << c.name;
            EXPECT_FALSE(line(1).CaptureTrigger) << c.name;
        } else {
            // Active without the mark: the tone test runs and a trigger follows.
            EXPECT_TRUE(line(1).CaptureTrigger) << c.name;
        }
    }
}

TEST_F(LineWatchTest, DetectionBufferHoldsZeroCorrectedSamplesAndRepeatsTheLast) {
    Values ramp{};
    for (int g = 0; g < 16; ++g)
        ramp[g] = kLevel - 8 + g;
    play(a, 3, ramp);
    ASSERT_TRUE(until([&] { return line(3).DetectionBuffer[0] == -8; }));
    for (int g = 0; g < 16; ++g)
        EXPECT_EQ(line(3).DetectionBuffer[g], g - 8) << "sample " << g;
    EXPECT_EQ(line(3).DetectionBuffer[16], 7);
    EXPECT_EQ(line(3).LineActivity, 15);
}

TEST_F(LineWatchTest, MarkThenNoMarkTriggersOneCapturePerActiveTickUntilQuiet) {
    const auto commands = rig.outputCount(a);
    play(a, 2, kMark);
    ASSERT_TRUE(until([&] { return line(2).LineStage; }));
    EXPECT_FALSE(line(2).CaptureTrigger);
    EXPECT_EQ(rig.outputCount(a), commands) << "no capture on the mark";

    play(a, 2, kSpace);
    ASSERT_TRUE(until([&] { return line(2).CaptureTrigger; }));
    // The capture ran in the tick that set the trigger, after a fresh start command.
    EXPECT_EQ(rig.outputCount(a), commands + 1);
    const auto last = rig.bus.outputReports(a.id).back().bytes;
    EXPECT_TRUE(standin::isStartCommand(last));
    // The line's decoder has turned the captured bytes into zero-corrected values.
    for (int g = 0; g < 16; ++g)
        EXPECT_EQ(line(2).CaptureBuffer[g], kSpace[g] - kLevel) << "group " << g;
    EXPECT_EQ(line(2).CaptureBuffer[kCaptureSamples], 0) << "entry 1792 stays unused";

    // Still active: one capture in every tick.
    for (int t = 1; t <= 3; ++t) {
        rig.runTicks(1);
        EXPECT_TRUE(line(2).CaptureTrigger);
        EXPECT_EQ(rig.outputCount(a), commands + 1 + t) << "tick " << t;
    }
    play(a, 2, kQuiet);
    ASSERT_TRUE(until([&] { return !line(2).CaptureTrigger; }));
    EXPECT_FALSE(line(2).LineStage);
    const auto after = rig.outputCount(a);
    rig.runTicks(20);
    EXPECT_EQ(rig.outputCount(a), after) << "no capture once the line is quiet";
}

// A device that falls silent during a series of captures costs one read time-out,
// not one per captured report; the supervision then reports the loss once.
TEST_F(LineWatchTest, ADeviceLostWhileCapturingCostsOneTimeOut) {
    play(a, 1, kMark);
    ASSERT_TRUE(until([&] { return line(1).LineStage; }));
    play(a, 1, kSpace);
    ASSERT_TRUE(until([&] { return line(1).CaptureTrigger; }));
    const auto commands = rig.outputCount(a);
    rig.bus.apply(a.id, platform::DeviceAction::GoSilent);
    const auto before = rig.bus.now();
    rig.runTicks(1);
    EXPECT_EQ(rig.outputCount(a), commands + 1) << "the capture still runs";
    EXPECT_FALSE(rig.link.DeviceDetected_1);
    EXPECT_LT(rig.bus.now() - before, std::chrono::seconds(1));
    rig.bus.apply(a.id, platform::DeviceAction::Resume);
    rig.runTicks(5);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
}

TEST_F(LineWatchTest, ARedrawnFillerGoesOutBeforeEachCapture) {
    const auto first = rig.bus.outputReports(a.id).back().bytes;
    play(a, 1, kMark);
    ASSERT_TRUE(until([&] { return line(1).LineStage; }));
    play(a, 1, kSpace);
    ASSERT_TRUE(until([&] { return line(1).CaptureTrigger; }));
    const auto capture = rig.bus.outputReports(a.id).back().bytes;
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 12, capture.begin()));
    EXPECT_TRUE(std::equal(first.begin() + 57, first.end(), capture.begin() + 57));
    EXPECT_FALSE(std::equal(first.begin() + 12, first.begin() + 57, capture.begin() + 12));
}

using TwoDeviceLineWatchTest = RigTest;

TEST_F(TwoDeviceLineWatchTest, ATriggerOnLine6CapturesBothDevices) {
    const auto a = rig.addDevice("aaaa0001");
    const auto b = rig.addDevice("bbbb0002");
    ASSERT_TRUE(startAndConnect(rig));
    const auto ca = rig.outputCount(a), cb = rig.outputCount(b);
    const long from = sampleAt(rig.bus.now());
    b.lines->pattern(2, from, LONG_MAX, kMark);
    a.lines->pattern(4, from, LONG_MAX, kSpace); // Device1's line 4 carries space only
    ASSERT_TRUE(rig.tickUntil([&] { return rig.control->line(6).LineStage; }, 40));
    b.lines->pattern(2, sampleAt(rig.bus.now()), LONG_MAX, kSpace);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.control->line(6).CaptureTrigger; }, 40));
    EXPECT_EQ(rig.outputCount(a), ca + 1);
    EXPECT_EQ(rig.outputCount(b), cb + 1);
    // Both lines were captured and decoded (the decoder leaves zero-corrected values).
    for (int g = 0; g < 16; ++g) {
        EXPECT_EQ(rig.control->line(6).CaptureBuffer[g], kSpace[g] - kLevel) << "group " << g;
        EXPECT_EQ(rig.control->line(4).CaptureBuffer[g], kSpace[g] - kLevel) << "group " << g;
    }
}

} // namespace
} // namespace crmcontrol::testing
