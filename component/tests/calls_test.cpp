// Calls end to end: bursts on the stand-in's lines, detected, captured and decoded,
// on every line of both devices, with the start command after each capture; a
// capture taken inside a host's handler of a call from the capture before it; and
// the calls after a capture that a device change cut short.
#include "component/tests/component_rig.h"
#include "standin/tests/scenario_text.h"

#include <fstream>
#include <sstream>

namespace component::testing {
namespace {

using standin::MessageFormat;
using Calls = ComponentRig;

std::string numbered(std::string prefix, int line) {
    prefix.push_back(static_cast<char>('0' + line));
    return prefix;
}

TEST_F(Calls, ACallOnOneLineIsRaisedWithTheDevicesFields) {
    const auto d =
        addDevice(u"AB12CD34EF", {{3, 12000, MessageFormat::MultipleData, "05321234567"}});
    create();
    ASSERT_TRUE(pumpUntil([&] { return host.count("OnCallerID") == 1; }));
    const CallerIdRecord call = host.of("OnCallerID")[0].call;
    EXPECT_EQ(call.PhoneNo, "05321234567");
    EXPECT_EQ(call.LineNo, "3");
    EXPECT_EQ(call.DevSerialNo, "AB12CD34");
    EXPECT_EQ(call.OtherInfo, "This device is \"1\" one.");
    EXPECT_EQ(call.CallDate, "10.12.2026");
    EXPECT_EQ(call.CallTime, "11:30:15");
    EXPECT_EQ(startCommands(d).size(), 2u) << "a new start command after the capture";
    EXPECT_EQ(component->lines(1).LineStage, (std::array<std::uint8_t, 4>{1, 1, 0, 1}));

    // Detection goes on after the capture: quiet lines return to stage 0.
    const int skip = component->lines(1).ReportSkipCount;
    ASSERT_TRUE(pumpUntil([&] { return component->lines(1).ReportSkipCount != skip; }));
    ASSERT_TRUE(pumpUntil([&] { return component->lines(1).LineStage[0] == 0; }));
    EXPECT_EQ(host.count("OnCallerID"), 1);
}

// Two devices stream side by side here on the bus's real-time clock: with the fast
// clock the reader that falls behind loses reports from its full input buffer (the
// clock moves whenever the other reader waits). Every line of both devices carries a
// call at once, so one capture per device decodes all four, in about two seconds.
TEST_F(Calls, EveryLineOfBothDevicesIsDecoded) {
    bus.setMode(platform::ClockMode::RealTime);
    std::vector<PlacedCall> one, two;
    for (int line = 1; line <= 4; ++line) {
        one.push_back({line, 9600, MessageFormat::MultipleData, numbered("0532123456", line)});
        two.push_back({line, 9600, MessageFormat::SingleData, numbered("212555123", line)});
    }
    addDevice(u"11111111", one);
    addDevice(u"2222", two);
    create();
    EXPECT_TRUE(pumpUntil([&] { return host.count("OnCallerID") >= 8; }, 10s));
    std::vector<std::string> seen;
    for (const Event& e : host.of("OnCallerID"))
        seen.push_back(e.call.DevSerialNo + " " + e.call.LineNo + " " + e.call.PhoneNo);
    std::sort(seen.begin(), seen.end());
    // The short serial stays short: no leading "0"s.
    EXPECT_EQ(seen, (std::vector<std::string>{"11111111 1 05321234561", "11111111 2 05321234562",
                                              "11111111 3 05321234563", "11111111 4 05321234564",
                                              "2222 1 2125551231", "2222 2 2125551232",
                                              "2222 3 2125551233", "2222 4 2125551234"}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(host.of("OnCallerID")[0].call.OtherInfo, "This device is \"2\" one.");
}

TEST_F(Calls, AQuietLineAndAnIdleDeviceRaiseNothing) {
    addDevice(u"11111111");
    create();
    ASSERT_TRUE(pumpUntil([&] { return bus.now() > std::chrono::seconds(3); }));
    EXPECT_EQ(host.count("OnCallerID"), 0);
    EXPECT_EQ(component->lines(1).CaptureReportIndex, 0);
    EXPECT_EQ(component->lines(1).LineStage, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

// A host's handler of the call on line 1 runs a message loop, as a modal message box
// does, and a mouse is plugged in meanwhile: the component pairs its device again
// inside that loop and captures the next call (on line 2) before the lines after line
// 1 of the first capture (line 3 carries a call too) are decoded. The loop ends once
// that second call is heard, or while the capture that holds it is half taken.
struct NestedCapture {
    const char* name;
    bool (*loopEnds)(const RecordingHost& host, TNorvellix_Component& component);
};

void PrintTo(const NestedCapture& c, std::ostream* out) {
    *out << c.name;
}

class CaptureInsideACallsHandler : public ComponentRig,
                                   public ::testing::WithParamInterface<NestedCapture> {};

TEST_P(CaptureInsideACallsHandler, RaisesEveryCallOnceFromItsOwnCapture) {
    addDevice(u"11111111", {{1, 12000, MessageFormat::MultipleData, "05321111111"},
                            {3, 12000, MessageFormat::MultipleData, "05323333333"},
                            {2, 32000, MessageFormat::MultipleData, "05322222222"}});
    platform::DeviceDescription mouse;
    mouse.vendorId = 0x046D;
    mouse.productId = 0xC077;
    const auto plugLater = bus.addDevice(mouse, nullptr, false);
    bool inLoop = false;
    bool loopEnded = false;
    host.onCall = [&](const CallerIdRecord& call) {
        if (call.LineNo != "1")
            return;
        inLoop = true;
        bus.apply(plugLater, platform::DeviceAction::Plug);
        loopEnded = pumpUntil([&] { return GetParam().loopEnds(host, *component); });
        inLoop = false;
    };
    create();
    ASSERT_TRUE(pumpUntil([&] { return host.count("OnCallerID") >= 3 && !inLoop; }))
        << host.count("OnCallerID") << " calls";
    EXPECT_TRUE(loopEnded);
    ASSERT_TRUE(pumpUntil([&] { return bus.now() > std::chrono::seconds(7); }));
    std::vector<std::string> seen;
    for (const Event& e : host.of("OnCallerID"))
        seen.push_back(e.call.LineNo + " " + e.call.PhoneNo);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"1 05321111111", "2 05322222222", "3 05323333333"}));
    EXPECT_EQ(host.count("OnDeviceConnection"), 2) << "paired at start and at the mouse";
}

const NestedCapture kNestedCaptures[] = {
    {"LoopEndsOnceTheSecondCallIsHeard",
     [](const RecordingHost& host, TNorvellix_Component&) {
         return host.count("OnCallerID") >= 2;
     }},
    {"LoopEndsWhileTheSecondCaptureIsHalfTaken",
     [](const RecordingHost&, TNorvellix_Component& component) {
         return component.lines(1).CaptureReportIndex >= kCaptureReports / 2;
     }},
};

INSTANTIATE_TEST_SUITE_P(Calls, CaptureInsideACallsHandler, ::testing::ValuesIn(kNestedCaptures),
                         [](const auto& info) { return std::string(info.param.name); });

// A device change during a capture re-pairs the device, which cuts the capture short:
// its call is lost, but the device's next capture starts at its first report, so the
// calls after it arrive. Once for a mouse plugged in, once for the caller-ID device
// itself pulled out and plugged back in.
struct CutCapture {
    const char* name;
    const char* change; // scenario lines, while the 1.5 s call is captured
};

void PrintTo(const CutCapture& c, std::ostream* out) {
    *out << c.name;
}

class ACaptureCutByADeviceChange : public ComponentRig,
                                   public ::testing::WithParamInterface<CutCapture> {};

TEST_P(ACaptureCutByADeviceChange, CostsOnlyItsOwnCall) {
    ASSERT_EQ(standin::testing::installScenarioText(bus, std::string(R"(mode fast
device A instance=1a2b3c4d serial=AAAA1111
foreign M vid=046d pid=c077 product="USB Mouse" unplugged
call 1.5 A 1 number=02125550123
call 4 A 2 number=05321234567
call 6.5 A 3 number=4441122
)") + GetParam().change),
              "");
    create();
    int capturedBeforeTheChange = 0;
    ASSERT_TRUE(pumpUntil([&] {
        if (bus.now() < std::chrono::milliseconds(1900))
            capturedBeforeTheChange = component->lines(1).CaptureReportIndex;
        // The virtual clock moves while a reader waits; with no device paired, nothing
        // does.
        if (!component->Device1())
            bus.advance(std::chrono::milliseconds(10));
        return bus.now() > std::chrono::milliseconds(7500);
    }));
    EXPECT_GT(capturedBeforeTheChange, 0) << "the change comes while the first call is captured";
    std::vector<std::string> seen;
    for (const Event& e : host.of("OnCallerID"))
        seen.push_back(e.call.LineNo + " " + e.call.PhoneNo);
    EXPECT_EQ(seen, (std::vector<std::string>{"2 05321234567", "3 4441122"}));
}

const CutCapture kCutCaptures[] = {
    {"AMousePluggedIn", "plug 1.9 M\n"},
    {"TheDeviceReplugged", "unplug 1.9 A\nplug 2.0 A\n"},
};

INSTANTIATE_TEST_SUITE_P(Calls, ACaptureCutByADeviceChange, ::testing::ValuesIn(kCutCaptures),
                         [](const auto& info) { return std::string(info.param.name); });

// Lines that ring while their device is calibrated (on its first report after
// pairing), each at a phase of its own: once the ring is over they have their resting
// levels and each of the calls after it is raised once with its number; the lines at
// rest keep the level calibration gave them. One device is read on the virtual clock,
// two on the real one (each on a thread of its own, Calls.EveryLineOfBothDevicesIsDecoded).
struct RingingScenario {
    const char* file;
    platform::ClockMode clock;
    std::chrono::seconds over; // bus time by which its last call is over
    std::vector<std::string> events;
    std::array<int, kLinesPerDevice> device1Levels, device2Levels;
};

void PrintTo(const RingingScenario& c, std::ostream* out) {
    *out << c.file;
}

class CallsAfterRinging : public ComponentRig,
                          public ::testing::WithParamInterface<RingingScenario> {};

TEST_P(CallsAfterRinging, LinesRingingThroughCalibrationRaiseEveryLaterCall) {
    const RingingScenario& c = GetParam();
    std::ifstream in(std::string(NORVELLIX_SCENARIOS_DIR) + "/" + c.file);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_EQ(standin::testing::installScenarioText(
                  bus, text.str(), [&](standin::Scenario& s) { s.mode = c.clock; }),
              "");
    create();
    ASSERT_TRUE(pumpUntil([&] { return bus.now() > c.over; }, c.over + 10s));
    std::vector<std::string> seen;
    for (const Event& e : host.events) {
        seen.push_back(e.name + " " + e.serial);
        if (e.name == "OnCallerID")
            seen.back() += " " + e.call.LineNo + " " + e.call.PhoneNo;
    }
    EXPECT_EQ(seen, c.events);
    EXPECT_EQ(component->lines(1).ZeroLevel, c.device1Levels);
    EXPECT_EQ(component->lines(2).ZeroLevel, c.device2Levels);
}

const RingingScenario kRingingScenarios[] = {
    {"ringing-at-start.scn",
     platform::ClockMode::Fast,
     14s,
     {"OnDeviceConnection AAAA1111", "OnCallerID AAAA1111 1 02125550101",
      "OnCallerID AAAA1111 2 02125550102", "OnCallerID AAAA1111 3 02125550103",
      "OnCallerID AAAA1111 4 02125550104"},
     {128, 126, 131, 124},
     {0, 0, 0, 0}},
    {"ringing-second-device.scn",
     platform::ClockMode::RealTime,
     7s,
     {"OnDeviceConnection AAAA1111  |  BBBB2222", "OnCallerID BBBB2222 1 03125550201",
      "OnCallerID BBBB2222 2 03125550202", "OnCallerID BBBB2222 3 03125550203",
      "OnCallerID BBBB2222 4 03125550204", "OnCallerID AAAA1111 1 03125550101"},
     {127, 128, 128, 128},
     {129, 125, 132, 123}},
};

INSTANTIATE_TEST_SUITE_P(Calls, CallsAfterRinging, ::testing::ValuesIn(kRingingScenarios),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace component::testing
