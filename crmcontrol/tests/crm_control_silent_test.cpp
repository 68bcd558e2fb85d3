// A device that stays plugged in but stops answering: every read of it runs out its
// 500 ms limit. The control must not block its host for more than one such limit
// per device in a tick, and must not report a connection it could not calibrate.
// The bus runs on its virtual clock, so a tick's time on it is what a real host
// would wait.
#include "crmcontrol/tests/control_rig.h"
#include "standin/scenario.h"

#include <gtest/gtest.h>
#include <iostream>

namespace crmcontrol::testing {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

// One read limit, and what else a tick of one device may wait for: the 112
// reports of a capture, 2 ms apart.
constexpr platform::Microseconds kOneReadLimit = 500ms;
constexpr platform::Microseconds kCaptureReports = 112 * platform::kReportInterval;

class SilentDeviceTest : public RigTest {
protected:
    void install(const char* scenario) {
        std::string error;
        ASSERT_TRUE(standin::installScenarioFile(
            rig.bus, std::string(NORVELLIX_SCENARIOS_DIR) + "/" + scenario, error))
            << error;
        rig.bus.setMode(platform::ClockMode::Fast);
    }
    bool runUntil(platform::Microseconds t) {
        return rig.tickUntil([&] { return rig.bus.now() >= t; }, 200000);
    }
    void report(const char* what) {
        std::cout << "[ measure  ] " << what << ": longest tick " << rig.longestTick.count() / 1000
                  << " ms of bus time\n";
    }
};

// The device goes silent during the capture of a call; the line's trigger stands
// (its last report stays active), re-discovery finds the device again and again,
// and the calibration of one of those connections times out. The host is told of
// the loss once: the attempts that follow fail as well and raise nothing.
TEST_F(SilentDeviceTest, SilentInTheMiddleOfACallCostsOneReadLimitPerTick) {
    install("silent.scn");
    rig.control->G_Start();
    ASSERT_TRUE(runUntil(2700ms));
    EXPECT_TRUE(rig.control->line(1).CaptureTrigger) << "the trigger stands";
    ASSERT_TRUE(runUntil(30s));
    report("device silent from 2.6 s, 30 s");
    EXPECT_LT(rig.longestTick, kOneReadLimit + kCaptureReports);
    // The capture was cut before the number's end: no call.
    EXPECT_EQ(rig.events.sequence(), (std::vector<Args>{{"OnDeviceConnection", "5e1e0001", "0"},
                                                        {"OnDeviceDisconnected", "0", "0"}}));
    EXPECT_GT(rig.bus.outputReports(0).size(), 20u) << "discovery goes on trying the device";
}

// Silent for ten seconds, then answering again: taken back with one connection
// (the attempts in between raised nothing), and its next call arrives.
TEST_F(SilentDeviceTest, ADeviceAnsweringAgainIsTakenBackWithOneConnection) {
    std::string error;
    standin::Scenario scenario;
    ASSERT_TRUE(standin::parseScenario("device A instance=5e1e0001\n"
                                       "line A 1 noise=1\n"
                                       "call 2 A 1 number=05321234567 name=\"TEST ONE\"\n"
                                       "silent 2.6 A\n"
                                       "resume 12.6 A\n"
                                       "call 15 A 1 number=3125550100 type=sdmf\n",
                                       "resume.scn", ".", scenario, error))
        << error;
    standin::installScenario(rig.bus, scenario);
    std::vector<platform::Microseconds> connectedAt;
    rig.events.onConnection = [&](std::string&, std::string&) {
        connectedAt.push_back(rig.bus.now());
    };
    rig.control->G_Start();
    ASSERT_TRUE(runUntil(20s));
    EXPECT_LT(rig.longestTick, kOneReadLimit + kCaptureReports);
    const auto events = rig.events.sequence();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], (Args{"OnDeviceConnection", "5e1e0001", "0"}));
    EXPECT_EQ(events[1], (Args{"OnDeviceDisconnected", "0", "0"}));
    EXPECT_EQ(events[2], (Args{"OnDeviceConnection", "5e1e0001", "0"}));
    EXPECT_EQ(events[3].front(), "OnCallerID");
    EXPECT_EQ(events[3].back(), "3125550100");
    // Tried on all along: taken back at the first attempt after it answers, which
    // waits out at most one read limit of the attempt before.
    ASSERT_EQ(connectedAt.size(), 2u);
    const auto after = connectedAt[1] - 12600ms;
    std::cout << "[ measure  ] connected again " << after.count() / 1000
              << " ms of bus time after the device answered\n";
    EXPECT_GE(after, 0ms);
    EXPECT_LT(after, kOneReadLimit + 100ms);
}

// Two devices with a call each; one or both stop answering in the middle of their
// calls. A tick waits out at most one read limit per silent device; the calls
// decoded before the silence are raised, and only disconnections follow, but for
// Device1 reported alone once Device2 alone is lost.
TEST_F(SilentDeviceTest, WithTwoDevicesATickCostsOneReadLimitPerSilentDevice) {
    struct Case {
        const char* silent; // scenario lines
        int silentDevices;
        bool firstReportedAlone;
    };
    const Case cases[] = {
        {"silent 2.6 A\n", 1, false},
        {"silent 2.6 B\n", 1, true},
        {"silent 2.6 A\nsilent 2.6 B\n", 2, false},
    };
    for (const auto& c : cases) {
        ControlRig r;
        standin::Scenario scenario;
        std::string error;
        ASSERT_TRUE(standin::parseScenario(std::string("device A instance=aaaa0001\n"
                                                       "device B instance=bbbb0002\n"
                                                       "line A 1 noise=1\n"
                                                       "line B 2 noise=1\n"
                                                       "call 2 A 1 number=05321234567 name=\"X\"\n"
                                                       "call 2 B 2 number=2125551234\n") +
                                               c.silent,
                                           "two.scn", ".", scenario, error))
            << error;
        standin::installScenario(r.bus, scenario);
        r.control->G_Start();
        ASSERT_TRUE(r.tickUntil([&] { return r.bus.now() >= 30s; }, 200000));
        EXPECT_LT(r.longestTick, c.silentDevices * kOneReadLimit + kCaptureReports) << c.silent;

        const auto events = r.events.sequence();
        ASSERT_GE(events.size(), 2u) << c.silent;
        EXPECT_EQ(events[0], (Args{"OnDeviceConnection", "aaaa0001", "bbbb0002"})) << c.silent;
        // Device A's capture was cut before its number's end; B's was not.
        EXPECT_EQ(events[1][0], "OnCallerID") << c.silent;
        EXPECT_EQ(events[1].back(), "2125551234") << c.silent;
        const std::vector<Args> rest(events.begin() + 2, events.end());
        if (c.firstReportedAlone) {
            EXPECT_EQ(rest, (std::vector<Args>{{"OnDeviceDisconnected", "0", "0"},
                                               {"OnDeviceConnection", "aaaa0001", "0"}}));
        } else {
            // Told once; the attempts at the silent devices that follow raise nothing.
            EXPECT_EQ(rest, (std::vector<Args>{{"OnDeviceDisconnected", "0", "0"}})) << c.silent;
        }
        r.control->UserControl_Terminate();
    }
}

// Present but silent from the plug on, then answering from 10 s: the calibrations
// while it is silent fail and report nothing; the first one after it answers
// reports the connection.
TEST_F(SilentDeviceTest, NoConnectionIsReportedFromACalibrationThatTimedOut) {
    const auto d = rig.addDevice("1a2b3c4d");
    rig.bus.apply(d.id, platform::DeviceAction::GoSilent);
    rig.bus.schedule(10s, d.id, platform::DeviceAction::Resume);
    rig.control->G_Start();
    ASSERT_TRUE(runUntil(10s));
    report("device silent from the plug to 10 s");
    EXPECT_LT(rig.longestTick, kOneReadLimit + kCaptureReports);
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 0);
    // The first attempt's loss, as ever; the attempts after it raise nothing.
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
    EXPECT_EQ(rig.control->ZeroLevel(1), 0) << "no zero level from a failed read";

    ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") > 0; }, 200));
    const auto disconnections = rig.events.count("OnDeviceDisconnected");
    rig.runTicks(200);
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 1);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), disconnections);
    EXPECT_EQ(rig.events.of("OnDeviceConnection")[0].args, (Args{"1a2b3c4d", "0"}));
    EXPECT_EQ(rig.control->ZeroLevel(1), 128);
}

// Two devices, one of which stops answering just before the calibration tick and
// answers again after it: the connection is reported for what calibrated, and the
// loss takes its usual course.
TEST_F(SilentDeviceTest, ACalibrationReadThatTimesOutReportsNoConnectionForItsDevice) {
    struct Case {
        int silent; // the device whose calibration read times out
        std::vector<Args> events;
    };
    const Case cases[] = {
        // Lost, then found again: a disconnection and a new connection.
        {1, {{"OnDeviceDisconnected", "0", "0"}, {"OnDeviceConnection", "aaaa0001", "bbbb0002"}}},
        // Device1 alone is connected; the loss of Device2 alone raises nothing.
        {2, {{"OnDeviceConnection", "aaaa0001", "0"}}},
    };
    for (const auto& c : cases) {
        ControlRig r;
        const auto a = r.addDevice("aaaa0001");
        const auto b = r.addDevice("bbbb0002");
        r.control->G_Start();
        ASSERT_TRUE(r.tickUntil(
            [&] {
                return r.link.DeviceSerialNumber_2 != "0" &&
                       r.control->supervision().CalibrationDelayTicks == 10;
            },
            200));
        ASSERT_TRUE(r.events.records.empty());
        r.bus.apply(c.silent == 1 ? a.id : b.id, platform::DeviceAction::GoSilent);
        r.runTicks(1);
        EXPECT_TRUE(r.control->supervision().CalibrationDone) << "device " << c.silent;
        EXPECT_EQ(r.control->ZeroLevel(4 * c.silent), 0) << "device " << c.silent;
        r.bus.apply(c.silent == 1 ? a.id : b.id, platform::DeviceAction::Resume);
        r.runTicks(100);
        EXPECT_EQ(r.events.sequence(), c.events) << "device " << c.silent;
        EXPECT_LT(r.longestTick, kOneReadLimit + kCaptureReports) << "device " << c.silent;
        r.control->UserControl_Terminate();
    }
}

} // namespace
} // namespace crmcontrol::testing
