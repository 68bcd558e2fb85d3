// Calls end to end: the stand-in's caller-ID devices play bursts on their lines
// (over a little line noise) and the calls reach the host as OnCallerID with the
// device's serial, the line, the host's date and time and the number.
#include "crmcontrol/tests/capture_fixture.h"
#include "crmcontrol/tests/control_rig.h"
#include "standin/callerid_burst.h"
#include "standin/scenario.h"
#include "standin/tests/scenario_text.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <sstream>

namespace crmcontrol::testing {
namespace {

using Args = std::vector<std::string>;

struct PlannedCall {
    std::size_t device; // index into the scenario's devices
    int line;           // 1..4
    double atSeconds;   // burst start after plug-in
    std::string number;
    standin::MessageFormat format = standin::MessageFormat::SingleData;
};

// prefix, the digit k, suffix (appended piece by piece: GCC 12 warns falsely on
// literal + string at -O3).
std::string withDigit(const char* prefix, int k, const char* suffix) {
    std::string s(prefix);
    s += static_cast<char>('0' + k);
    s += suffix;
    return s;
}

class CallsTest : public RigTest {
protected:
    // Devices named by their instance ids, every line at level 128 with noise.
    void install(const std::vector<std::string>& instances, const std::vector<PlannedCall>& calls) {
        standin::Scenario s;
        for (const auto& instance : instances) {
            standin::ScenarioDevice d;
            d.name = instance;
            d.description.instanceId = instance;
            for (auto& line : d.lines)
                line = {128, 1.5};
            s.devices.push_back(d);
        }
        for (const auto& c : calls) {
            standin::CallInfo info;
            info.dateTime = "12100930";
            info.number = c.number;
            s.signals.push_back({c.device, c.line,
                                 static_cast<std::int64_t>(c.atSeconds * kSamplesPerSecond),
                                 standin::synthesizeBurst(c.format, info)});
        }
        standin::installScenario(rig.bus, s);
    }

    bool untilCalls(int n, int limit = 6000) {
        return rig.tickUntil([&] { return rig.events.count("OnCallerID") >= n; }, limit);
    }
};

TEST_F(CallsTest, ACallOnEachLineOfTwoDevicesIsRaisedOnceWithItsSerialAndLine) {
    const std::vector<std::string> serials = {"aaaa0001", "bbbb0002"};
    std::vector<PlannedCall> calls;
    for (int k = 1; k <= kLineCount; ++k)
        calls.push_back(
            {static_cast<std::size_t>((k - 1) / kLinesPerDevice), (k - 1) % kLinesPerDevice + 1,
             1.0 + 1.5 * (k - 1), withDigit("021255501", k, "0"),
             k % 2 ? standin::MessageFormat::SingleData : standin::MessageFormat::MultipleData});
    install(serials, calls);
    ASSERT_TRUE(startAndConnect(rig));

    for (int k = 1; k <= kLineCount; ++k) {
        const auto& c = calls[k - 1];
        rig.host.time = withDigit("09:30:1", k, "");
        ASSERT_TRUE(untilCalls(k)) << "line " << k;
        // When the raising tick ends, every other line's stage is set.
        for (int j = 1; j <= kLineCount; ++j) {
            if (j != k) {
                EXPECT_TRUE(rig.control->line(j).LineStage) << "line " << j << " after " << k;
            }
        }
        const auto raised = rig.events.of("OnCallerID");
        ASSERT_EQ(raised.size(), static_cast<std::size_t>(k)) << "line " << k;
        EXPECT_EQ(raised.back().args, (Args{serials[c.device], std::to_string(c.line), "10.12.2026",
                                            rig.host.time, c.number}))
            << "line " << k;
    }
    // The rest of the last burst raises nothing more.
    rig.runTicks(1000);
    EXPECT_EQ(rig.events.count("OnCallerID"), kLineCount);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 0);
}

TEST_F(CallsTest, ACallTwoSecondsAfterPlugInIsRaised) {
    install({"1a2b3c4d"}, {{0, 1, 2.0, "05321234567"}});
    platform::Microseconds raisedAt{0};
    rig.events.onCallerID = [&] { raisedAt = rig.bus.now(); };
    rig.control->G_Start();
    ASSERT_TRUE(untilCalls(1));
    const auto call = rig.events.of("OnCallerID")[0];
    EXPECT_EQ(call.args, (Args{"1a2b3c4d", "1", "10.12.2026", "09:30:15", "05321234567"}));
    const auto connection = rig.events.of("OnDeviceConnection").at(0);
    std::cout << "[ measure  ] ticks from plug-in to OnCallerID: " << call.tick
              << " (OnDeviceConnection in tick " << connection.tick << "; raised at "
              << raisedAt.count() / 1000 << " ms of bus time)\n";
    ::testing::Test::RecordProperty("TicksToCallerID", static_cast<int>(call.tick));
    rig.runTicks(1000);
    EXPECT_EQ(rig.events.count("OnCallerID"), 1);
}

// Where the control's captures start, for every phase of the message's first start
// bit in its report, and which of them raise a 13-digit multiple-data number: its
// frame ends so close to the end of a capture that the two latest starts miss it.
TEST(CallsAlignment, CapturesStartAfterTheFirstStartBitAndRaiseThirteenDigits) {
    const std::string number = "9053212345678";
    standin::CallInfo info;
    info.dateTime = "12250930";
    info.number = number;
    const standin::Signal burst =
        standin::synthesizeBurst(standin::MessageFormat::MultipleData, info);
    // Seizure and mark: 480 bits of 6 2/3 samples before the message.
    constexpr long kMessageStart = 3200;
    int raised = 0;
    for (int phase = 0; phase < kReportPhases; ++phase) {
        ControlRig rig;
        const auto d = rig.addDevice("1a2b3c4d");
        // Reports start at multiples of 16 samples.
        d.lines->play(1, kSamplesPerSecond + phase, std::vector<int>(burst.begin(), burst.end()));
        ASSERT_TRUE(startAndConnect(rig));
        const auto commands = rig.outputCount(d);
        ASSERT_TRUE(rig.tickUntil([&] { return rig.outputCount(d) > commands; }, 2000));
        // The first capture, zero-corrected by its decoder, against the burst.
        const auto& capture = rig.control->line(1).CaptureBuffer;
        long start = -1;
        for (long s = kMessageStart - 64; s <= kMessageStart + 64 && start < 0; ++s)
            if (std::equal(capture.begin(), capture.begin() + 64, burst.begin() + s))
                start = s;
        EXPECT_EQ(kMessageStart - start, controlLead(phase)) << "phase " << phase;

        rig.runTicks(1000);
        const auto calls = rig.events.of("OnCallerID");
        EXPECT_EQ(calls.size(), phase == 7 || phase == 8 ? 0u : 1u) << "phase " << phase;
        for (const auto& call : calls)
            EXPECT_EQ(call.args[4], number) << "phase " << phase;
        raised += static_cast<int>(calls.size());
        rig.control->UserControl_Terminate();
    }
    EXPECT_EQ(raised, 14);
}

// The control raises what a line's decoders found: the event carries the serial of
// the line's device, the line's number on it, the host's date and time and the
// number; the other lines' stages are set only once the handler has returned, by
// Device2Seen as it is then (a handler that resets the control leaves it false).
TEST(CrmControlRaise, CarriesTheLineAndStagesTheOtherLinesAfterTheHandler) {
    struct Case {
        int line;
        bool twoDevices;
        bool resetInHandler;
        const char* serial;
        const char* lineNumber;
        std::vector<int> staged;
    };
    const Case cases[] = {
        {1, false, false, "0000a1b2", "1", {2, 3, 4}},
        {2, false, false, "0000a1b2", "2", {1, 3, 4}},
        {2, true, false, "0000a1b2", "2", {1, 3, 4, 5, 6, 7, 8}},
        {4, true, false, "0000a1b2", "4", {1, 2, 3, 5, 6, 7, 8}},
        {5, true, false, "0000c3d4", "1", {1, 2, 3, 4, 6, 7, 8}},
        {5, true, true, "0000c3d4", "1", {1, 2, 3, 4, 6, 7, 8}},
        {6, true, false, "0000c3d4", "2", {1, 2, 3, 4, 5, 7, 8}},
        {8, true, false, "0000c3d4", "4", {1, 2, 3, 4, 5, 6, 7}},
    };
    standin::CallInfo info;
    info.dateTime = "12100930";
    info.number = "0123";
    const standin::Signal burst =
        standin::synthesizeBurst(standin::MessageFormat::MultipleData, info);
    for (const auto& c : cases) {
        const std::string name = "line " + std::to_string(c.line) +
                                 (c.twoDevices ? " of two devices" : " of one device") +
                                 (c.resetInHandler ? ", reset in the handler" : "");
        ControlRig rig;
        const auto first = rig.addDevice("0000a1b2");
        std::optional<ControlRig::Device> second;
        if (c.twoDevices)
            second = rig.addDevice("0000c3d4");
        const auto& device = c.line <= kLinesPerDevice ? first : *second;
        device.lines->play((c.line - 1) % kLinesPerDevice + 1, kSamplesPerSecond,
                           std::vector<int>(burst.begin(), burst.end()));
        rig.host.date = "10.12.2026";
        rig.host.time = "10:01:41";
        std::vector<int> stagedInsideHandler;
        rig.events.onCallerID = [&] {
            for (int j = 1; j <= kLineCount; ++j)
                if (j != c.line && rig.control->line(j).LineStage)
                    stagedInsideHandler.push_back(j);
            if (c.resetInHandler)
                rig.control->G_Reset();
        };
        ASSERT_TRUE(startAndConnect(rig)) << name;
        ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnCallerID") > 0; }, 3000))
            << name;
        const auto calls = rig.events.of("OnCallerID");
        ASSERT_EQ(calls.size(), 1u) << name;
        EXPECT_EQ(calls[0].args, (Args{c.serial, c.lineNumber, "10.12.2026", "10:01:41", "0123"}))
            << name;
        // As the raising tick ends.
        std::vector<int> staged;
        for (int j = 1; j <= kLineCount; ++j)
            if (j != c.line && rig.control->line(j).LineStage)
                staged.push_back(j);
        EXPECT_EQ(staged, c.staged) << name;
        EXPECT_TRUE(stagedInsideHandler.empty()) << name;
        rig.control->UserControl_Terminate();
    }
}

// Single-data messages carry their date and time right before the number: each
// call is raised once with the caller's number, whatever its length and the time of
// the call, and the multiple-data call among them as ever.
TEST_F(CallsTest, SingleDataCallsAreRaisedWithTheirOwnNumbers) {
    std::string error;
    ASSERT_TRUE(standin::installScenarioFile(
        rig.bus, std::string(NORVELLIX_CRM_TEST_DATA_DIR) + "/single-data-calls.scn", error))
        << error;
    rig.control->G_Start();
    ASSERT_TRUE(untilCalls(6, 12000)) << "got " << rig.events.count("OnCallerID") << " calls";
    rig.runTicks(1000);
    std::vector<Args> calls;
    for (const auto& call : rig.events.of("OnCallerID"))
        calls.push_back({call.args[1], call.args[4]});
    const std::vector<Args> expected = {
        {"1", "5551234"},     // 08:15
        {"2", "5551234"},     // 10:15
        {"3", "3125550100"},  // 09:30
        {"4", "3125550100"},  // 09:31
        {"1", "05321234567"}, // 08:15
        {"2", "05321234567"}, // multiple data
    };
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 1);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 0);
}

// A host timer that ticks every 15.6 ms, as a 1 ms timer does on Windows and under
// Wine, reads every seventh or eighth report: the line watch sees a message start
// late, and the capture often begins after a single-data message's length
// character. The numbers that the digits before the checksum give right (11 digits
// from "0", 7 digits from 10:00) are raised at every start, as ever; the others
// with their own number whenever the capture keeps the length character.
TEST(CallsAtTheWindowsTimerPace, SingleDataCallsKeepTheirNumbersAndGainTheRest) {
    struct Case {
        const char* dateTime;
        const char* number;
        bool alwaysRight; // by the fixed frames, with or without the length
    };
    const Case cases[] = {{"12100815", "05321234567", true},
                          {"12101015", "5551234", true},
                          {"12100815", "5551234", false},
                          {"12100930", "3125550100", false},
                          {"12100931", "3125550100", false}};
    constexpr int kStarts = 16;
    for (const auto& c : cases) {
        standin::CallInfo info;
        info.dateTime = c.dateTime;
        info.number = c.number;
        const standin::Signal burst =
            standin::synthesizeBurst(standin::MessageFormat::SingleData, info);
        int right = 0;
        int other = 0;
        for (int k = 0; k < kStarts; ++k) {
            ControlRig rig;
            rig.timerPeriod = std::chrono::microseconds(15600);
            const auto d = rig.addDevice("1a2b3c4d");
            // Start samples spread over a tick's 125 samples.
            d.lines->play(1, kSamplesPerSecond + 8 * k,
                          std::vector<int>(burst.begin(), burst.end()));
            rig.control->G_Start();
            ASSERT_TRUE(
                rig.tickUntil([&] { return rig.bus.now() >= std::chrono::seconds(3); }, 1000));
            const auto calls = rig.events.of("OnCallerID");
            ASSERT_EQ(calls.size(), 1u) << c.number << " at " << c.dateTime << ", start " << k;
            (calls[0].args[4] == c.number ? right : other) += 1;
            rig.control->UserControl_Terminate();
        }
        std::cout << "[ measure  ] " << c.number << " at " << c.dateTime
                  << ", 15.6 ms a tick: " << right << " of " << kStarts
                  << " raised with their number\n";
        if (c.alwaysRight)
            EXPECT_EQ(right, kStarts) << c.number << " at " << c.dateTime;
        else
            EXPECT_GT(right, 0) << c.number << " at " << c.dateTime;
    }
}

// The example scenario that runs on the virtual clock, as NORVELLIX_SIMULATOR
// would load it.
TEST_F(CallsTest, TheFastScenarioFileRaisesItsCalls) {
    std::string error;
    ASSERT_TRUE(standin::installScenarioFile(
        rig.bus, std::string(NORVELLIX_SCENARIOS_DIR) + "/fast-two-calls.scn", error))
        << error;
    rig.control->G_Start();
    ASSERT_TRUE(untilCalls(2));
    rig.runTicks(500);
    EXPECT_EQ(rig.events.records.size(), 3u);
    EXPECT_EQ(rig.events.of("OnDeviceConnection").at(0).args, (Args{"0c0ffee0", "0"}));
    const auto calls = rig.events.of("OnCallerID");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, (Args{"0c0ffee0", "1", "10.12.2026", "09:30:15", "05321234567"}));
    EXPECT_EQ(calls[1].args, (Args{"0c0ffee0", "3", "10.12.2026", "09:30:15", "5551234"}));
}

// Lines that ring while their device is calibrated, each at a phase of its own: once
// the ring is over they have their resting levels, and each of the calls after it is
// raised once with its number; the lines at rest keep the level calibration gave them.
// The scenario files run on the virtual clock here (the control reads both devices on
// one thread).
TEST(CallsAfterRinging, LinesRingingThroughCalibrationRaiseEveryLaterCall) {
    struct Case {
        const char* file;
        std::vector<Args> events; // names and arguments, OnCallerID without date and time
        std::array<int, kLineCount> restingLevels;
    };
    const Case cases[] = {
        {"ringing-at-start.scn",
         {{"OnDeviceConnection", "1a2b3c4d", "0"},
          {"OnCallerID", "1a2b3c4d", "1", "02125550101"},
          {"OnCallerID", "1a2b3c4d", "2", "02125550102"},
          {"OnCallerID", "1a2b3c4d", "3", "02125550103"},
          {"OnCallerID", "1a2b3c4d", "4", "02125550104"}},
         {128, 126, 131, 124, 0, 0, 0, 0}},
        {"ringing-second-device.scn",
         {{"OnDeviceConnection", "1a2b3c4d", "5e6f7a8b"},
          {"OnCallerID", "5e6f7a8b", "1", "03125550201"},
          {"OnCallerID", "5e6f7a8b", "2", "03125550202"},
          {"OnCallerID", "5e6f7a8b", "3", "03125550203"},
          {"OnCallerID", "5e6f7a8b", "4", "03125550204"},
          {"OnCallerID", "1a2b3c4d", "1", "03125550101"}},
         {127, 128, 128, 128, 129, 125, 132, 123}},
    };
    for (const Case& c : cases) {
        ControlRig rig;
        std::ifstream in(std::string(NORVELLIX_SCENARIOS_DIR) + "/" + c.file);
        std::stringstream text;
        text << in.rdbuf();
        ASSERT_EQ(standin::testing::installScenarioText(
                      rig.bus, text.str(),
                      [](standin::Scenario& s) { s.mode = platform::ClockMode::Fast; }),
                  "")
            << c.file;
        const auto seen = [&] {
            std::vector<Args> out;
            for (const auto& r : rig.events.records) {
                Args e{r.event};
                if (r.event == "OnCallerID")
                    e.insert(e.end(), {r.args[0], r.args[1], r.args[4]});
                else
                    e.insert(e.end(), r.args.begin(), r.args.end());
                out.push_back(e);
            }
            return out;
        };
        rig.control->G_Start();
        // The scenario's last call is over by 14 s of bus time.
        rig.tickUntil([&] { return rig.bus.now() > std::chrono::seconds(14); }, 20000);
        EXPECT_EQ(seen(), c.events) << c.file;
        for (int k = 1; k <= kLineCount; ++k)
            EXPECT_EQ(rig.control->ZeroLevel(k), c.restingLevels[k - 1])
                << c.file << ": line " << k;
        rig.control->UserControl_Terminate();
    }
}

// The demo started about 1.5 s after the control's creation, while its first call's
// line rings (from 1 s to 3 s), so that the line is calibrated at a crest of the ring
// (in the tick of 1.512 s): that call is raised too, and so is every later one.
TEST_F(CallsTest, TheDemoStartedWhileALineRingsRaisesEveryCall) {
    std::ifstream in(std::string(NORVELLIX_SCENARIOS_DIR) + "/demo.scn");
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_EQ(
        standin::testing::installScenarioText(
            rig.bus, text.str(), [](standin::Scenario& s) { s.mode = platform::ClockMode::Fast; }),
        "");
    rig.runTicks(1489);
    rig.control->G_Start();
    rig.tickUntil([&] { return rig.bus.now() > std::chrono::seconds(30); }, 40000);
    std::vector<std::string> calls;
    for (const auto& c : rig.events.of("OnCallerID"))
        calls.push_back(c.args[0] + " " + c.args[1] + " " + c.args[4]);
    EXPECT_EQ(calls, (std::vector<std::string>{"1a2b3c4d 1 02125550123", "5e6f7a8b 4 05321234567",
                                               "1a2b3c4d 2 3125550100", "5e6f7a8b 1 4441122",
                                               "1a2b3c4d 1 05059876543"}));
}

} // namespace
} // namespace crmcontrol::testing
