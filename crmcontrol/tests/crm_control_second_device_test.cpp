// A second device that the control cannot use, or that comes and goes, next to a
// first one that stays: the first one's calls arrive, the host hears of a device
// only what happened to it, and a second device that is (back) there is taken in
// and its lines are watched.
#include "crmcontrol/tests/control_rig.h"
#include "standin/scenario.h"
#include "standin/tests/scenario_text.h"

#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>

namespace crmcontrol::testing {
namespace {

using Args = std::vector<std::string>;

// An event as "OnDeviceConnection a b", "OnDeviceDisconnected 0 0" or
// "OnCallerID serial line number" (the host's date and time left out).
std::string describe(const EventRecord& e) {
    std::string text = e.event;
    for (std::size_t i = 0; i < e.args.size(); ++i)
        if (e.event != "OnCallerID" || i == 0 || i == 1 || i == 4)
            text += " " + e.args[i];
    return text;
}

class SecondDeviceTest : public RigTest {
protected:
    // Installs a scenario written in the stand-in's own format; `adjust` may change
    // what the format cannot say (report lengths).
    void install(const std::string& text,
                 const std::function<void(standin::Scenario&)>& adjust = nullptr) {
        ASSERT_EQ(standin::testing::installScenarioText(rig.bus, text, adjust), "");
    }

    // Ticks the started control until the bus clock reaches `seconds`.
    void runUntil(double seconds) {
        const platform::Microseconds end{static_cast<long long>(seconds * 1e6)};
        // A generous bound: a tick takes at least the millisecond of its timer.
        ASSERT_TRUE(rig.tickUntil([&] { return rig.bus.now() >= end; },
                                  static_cast<int>(seconds * 1000) + 1000))
            << "the clock stands at " << rig.bus.now().count() << " us";
    }

    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const auto& e : rig.events.records)
            out.push_back(describe(e));
        return out;
    }

    int handlesOpened(platform::DeviceId d) const {
        return rig.bus.audit().devices.at(d).handlesOpened;
    }
};

// A second device that discovery cannot open (held by another program) or refuses
// (its reports would not fit), before or after the first in enumeration order: the
// first one connects once and its call arrives; unplugging it later is one loss.
struct UnusableSecond {
    const char* label;
    const char* devices;
    bool longReports; // the device "other" sends 66-byte reports
    platform::DeviceId first;
    friend void PrintTo(const UnusableSecond& c, std::ostream* os) { *os << c.label; }
};

class UnusableSecondDevice : public SecondDeviceTest,
                             public ::testing::WithParamInterface<UnusableSecond> {};

TEST_P(UnusableSecondDevice, LeavesTheFirstWorking) {
    const auto& c = GetParam();
    install(std::string(c.devices) + "call 2 first 2 number=5551234 type=sdmf\n"
                                     "unplug 4 first\n",
            [&](standin::Scenario& s) {
                if (c.longReports)
                    s.devices[0].description.inputReportLength = 66;
            });
    ASSERT_TRUE(startAndConnect(rig));
    const int opened = handlesOpened(c.first);
    runUntil(3.5);
    EXPECT_EQ(events(), (std::vector<std::string>{"OnDeviceConnection aaaa0001 0",
                                                  "OnCallerID aaaa0001 2 5551234"}));
    EXPECT_FALSE(rig.control->supervision().TwoDeviceMode);
    EXPECT_EQ(handlesOpened(c.first), opened) << "discovery ran again after the connection";

    runUntil(5);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableSecondDevice,
    ::testing::Values(
        UnusableSecond{"HeldAfterTheFirst",
                       "device first instance=aaaa0001\ndevice other instance=bbbb0002 held\n",
                       false, 0},
        UnusableSecond{"HeldBeforeTheFirst",
                       "device other instance=bbbb0002 held\ndevice first instance=aaaa0001\n",
                       false, 1},
        UnusableSecond{"LongReportsBeforeTheFirst",
                       "device other instance=bbbb0002\ndevice first instance=aaaa0001\n", true,
                       1}),
    [](const auto& info) { return std::string(info.param.label); });

// Let go by the other program later, the second device is taken in: both devices
// go through first sight and calibration, the host is told of both, and the second
// one's call arrives; the first one was never lost, so nothing disconnects.
TEST_F(SecondDeviceTest, HeldOneIsTakenInOnceReleased) {
    install("device first instance=aaaa0001\n"
            "device other instance=bbbb0002 held\n"
            "call 1.5 first 1 number=5551234 type=sdmf\n"
            "release 2.5 other\n"
            "call 4.5 other 3 number=02125550199 type=sdmf\n");
    rig.control->G_Start();
    runUntil(6);
    EXPECT_EQ(events(), (std::vector<std::string>{"OnDeviceConnection aaaa0001 0",
                                                  "OnCallerID aaaa0001 1 5551234",
                                                  "OnDeviceConnection aaaa0001 bbbb0002",
                                                  "OnCallerID bbbb0002 3 02125550199"}));
    EXPECT_TRUE(rig.control->supervision().TwoDeviceMode);
}

// The second of two connected devices pulled out and plugged back in, or silent for
// a second, while the first stays: the host hears of the loss once and of the
// first device alone; once the second is back it is taken in again and its lines
// are watched: its call arrives, and so does the first one's after it.
struct SecondComesBack {
    const char* label;
    const char* away; // the fault at 3 s
    const char* back; // its end at 4 s
    friend void PrintTo(const SecondComesBack& c, std::ostream* os) { *os << c.label; }
};

class SecondDeviceComesBack : public SecondDeviceTest,
                              public ::testing::WithParamInterface<SecondComesBack> {};

TEST_P(SecondDeviceComesBack, IsTakenInAgainAndItsLinesWatched) {
    std::ostringstream scenario;
    scenario << "device first instance=aaaa0001\n"
                "device second instance=bbbb0002\n"
             << GetParam().away << " 3 second\n"
             << GetParam().back << " 4 second\n"
             << "call 6 second 2 number=5551234 type=sdmf\n"
                "call 7.5 first 4 number=02125550199 type=sdmf\n";
    install(scenario.str());
    rig.control->G_Start();
    runUntil(9);
    EXPECT_EQ(events(), (std::vector<std::string>{
                            "OnDeviceConnection aaaa0001 bbbb0002", "OnDeviceDisconnected 0 0",
                            "OnDeviceConnection aaaa0001 0", "OnDeviceConnection aaaa0001 bbbb0002",
                            "OnCallerID bbbb0002 2 5551234", "OnCallerID aaaa0001 4 02125550199"}));
    EXPECT_TRUE(rig.control->supervision().TwoDeviceMode);
    EXPECT_TRUE(rig.link.Device2Seen);
}

INSTANTIATE_TEST_SUITE_P(Cases, SecondDeviceComesBack,
                         ::testing::Values(SecondComesBack{"Replugged", "unplug", "plug"},
                                           SecondComesBack{"SilentForASecond", "silent", "resume"}),
                         [](const auto& info) { return std::string(info.param.label); });

// A second device that stays silent for long: the host hears of its loss once and
// nothing more while it is silent. Each look for it costs one read time-out, and the
// looks grow rarer, so the first device's calls between them arrive; the second is
// taken in at the first look after it streams again.
TEST_F(SecondDeviceTest, ALongSilenceOfTheSecondIsOneLossAndTheFirstGoesOn) {
    install("device first instance=aaaa0001\n"
            "device second instance=bbbb0002\n"
            "silent 3 second\n"
            "call 10 first 1 number=5551234 type=sdmf\n"
            "call 16 first 3 number=02125550199 type=sdmf\n"
            "resume 17 second\n"
            "call 26 second 4 number=05321234567 type=sdmf\n");
    rig.control->G_Start();
    runUntil(17);
    EXPECT_EQ(events(), (std::vector<std::string>{
                            "OnDeviceConnection aaaa0001 bbbb0002", "OnDeviceDisconnected 0 0",
                            "OnDeviceConnection aaaa0001 0", "OnCallerID aaaa0001 1 5551234",
                            "OnCallerID aaaa0001 3 02125550199"}));
    runUntil(28);
    ASSERT_EQ(rig.events.records.size(), 7u);
    EXPECT_EQ(describe(rig.events.records[5]), "OnDeviceConnection aaaa0001 bbbb0002");
    EXPECT_EQ(describe(rig.events.records[6]), "OnCallerID bbbb0002 4 05321234567");
}

// The first of two pulled out and plugged back in: one disconnection; the second
// goes on alone as Device1, and both are taken in again once the first is back.
TEST_F(SecondDeviceTest, TheFirstOfTwoPulledOutAndBackIsOneLoss) {
    install("device first instance=aaaa0001\n"
            "device second instance=bbbb0002\n"
            "unplug 3 first\n"
            "call 5 second 2 number=5551234 type=sdmf\n"
            "plug 7 first\n"
            "call 9 first 1 number=02125550199 type=sdmf\n");
    rig.control->G_Start();
    runUntil(11);
    EXPECT_EQ(events(),
              (std::vector<std::string>{
                  "OnDeviceConnection aaaa0001 bbbb0002", "OnDeviceDisconnected 0 0",
                  "OnDeviceConnection bbbb0002 0", "OnCallerID bbbb0002 2 5551234",
                  "OnDeviceConnection aaaa0001 bbbb0002", "OnCallerID aaaa0001 1 02125550199"}));
}

// The first of two pulled out and plugged back in while the second stays: it is
// taken in again within a second of the plug, whether the host's timer ticks every
// millisecond or every 15.6 ms (as a 1 ms timer does on Windows and under Wine),
// so its calls 1.5 and 3 s after the plug arrive.
TEST_F(SecondDeviceTest, APluggedBackDeviceIsTakenInWithinASecondWhateverATickLasts) {
    for (const auto period : {std::chrono::microseconds(1000), std::chrono::microseconds(15600)}) {
        ControlRig r;
        ASSERT_EQ(standin::testing::installScenarioText(
                      r.bus, "device first instance=aaaa0001\n"
                             "device second instance=bbbb0002\n"
                             "line first 1 noise=1\n"
                             "call 2 first 1 number=02125550123 name=\"AYSE YILMAZ\"\n"
                             "unplug 4 first\n"
                             "plug 6 first\n"
                             "call 7.5 first 1 number=05321234567 name=\"TEST ONE\"\n"
                             "call 9 first 1 number=3125550100 name=\"MEHMET DEMIR\"\n"),
                  "");
        r.timerPeriod = period;
        std::vector<platform::Microseconds> connectedAt;
        r.events.onConnection = [&](std::string&, std::string&) {
            connectedAt.push_back(r.bus.now());
        };
        r.control->G_Start();
        ASSERT_TRUE(r.tickUntil([&] { return r.bus.now() >= std::chrono::seconds(11); }, 20000));
        std::vector<std::string> seen;
        for (const auto& e : r.events.records)
            seen.push_back(describe(e));
        const std::string pace = std::to_string(period.count()) + " us a tick";
        EXPECT_EQ(seen,
                  (std::vector<std::string>{
                      "OnDeviceConnection aaaa0001 bbbb0002", "OnCallerID aaaa0001 1 02125550123",
                      "OnDeviceDisconnected 0 0", "OnDeviceConnection bbbb0002 0",
                      "OnDeviceConnection aaaa0001 bbbb0002", "OnCallerID aaaa0001 1 05321234567",
                      "OnCallerID aaaa0001 1 3125550100"}))
            << pace;
        ASSERT_EQ(connectedAt.size(), 3u) << pace;
        const auto after = connectedAt[2] - std::chrono::seconds(6);
        std::cout << "[ measure  ] " << pace << ": both taken in " << after.count() / 1000
                  << " ms of bus time after the plug\n";
        EXPECT_LT(after, std::chrono::seconds(1)) << pace;
        r.control->UserControl_Terminate();
    }
}

} // namespace
} // namespace crmcontrol::testing
