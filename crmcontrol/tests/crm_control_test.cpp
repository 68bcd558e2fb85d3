// Supervision and lifecycle of the CRM control over the simulated bus: first
// sight, calibration, serials, losses, the two-device latch, reset, stop and start.
#include "crmcontrol/tests/control_rig.h"
#include "standin/callerid_device.h"

#include <climits>
#include <gtest/gtest.h>
#include <utility>

namespace crmcontrol::testing {
namespace {

using Args = std::vector<std::string>;

using CrmControlTest = RigTest;

TEST_F(CrmControlTest, CreationSetsSerialsAndThreshold) {
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "0");
    EXPECT_EQ(rig.link.DeviceSerialNumber_2, "0");
    EXPECT_EQ(rig.control->ActivityThreshold(), 100);
    EXPECT_FALSE(rig.control->timerEnabled());
}

TEST_F(CrmControlTest, FirstSightWritesTheStartCommandAndTheEleventhCountedTickCalibrates) {
    const auto d = rig.addDevice("1a2b3c4d");
    d.lines->level = {100, 128, 131, 200};
    rig.host.fixed = {0.0, 0.99999999, 0.5};
    rig.control->G_Start();
    ASSERT_TRUE(rig.tickUntil([&] { return rig.outputCount(d) > 0; }, 5));
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "1a2b3c4d");
    EXPECT_EQ(rig.link.DeviceSerialNumber_2, "0");

    const auto reports = rig.bus.outputReports(d.id);
    ASSERT_EQ(reports.size(), 1u);
    const auto& r = reports[0].bytes;
    ASSERT_EQ(r.size(), 65u);
    EXPECT_TRUE(standin::isStartCommand(r));
    const std::vector<std::uint8_t> head = {0, 25, 17, 'N', 'o', 'r', 'v', 'e', 'l', 'l', 'i', 'x'};
    const std::vector<std::uint8_t> tail = {4, 0, 9, 6, 'm', 'V', 25, 129};
    EXPECT_EQ(std::vector<std::uint8_t>(r.begin(), r.begin() + 12), head);
    EXPECT_EQ(std::vector<std::uint8_t>(r.begin() + 57, r.begin() + 65), tail);
    // Report id first, so filler index i is byte i + 1.
    EXPECT_EQ(r[12], 1);
    EXPECT_EQ(r[13], 255);
    EXPECT_EQ(r[14], 128);
    for (int i = 12; i <= 56; ++i)
        EXPECT_GE(r[i], 1) << "filler byte " << i;

    for (int t = 1; t <= 10; ++t) {
        rig.runTicks(1);
        EXPECT_FALSE(rig.control->supervision().CalibrationDone) << "counted tick " << t;
        EXPECT_EQ(rig.events.count("OnDeviceConnection"), 0) << "counted tick " << t;
        EXPECT_EQ(rig.control->ZeroLevel(1), 0) << "counted tick " << t;
    }
    rig.runTicks(1);
    EXPECT_TRUE(rig.control->supervision().CalibrationDone);
    EXPECT_EQ(rig.control->supervision().CalibrationDelayTicks, 0);
    ASSERT_EQ(rig.events.count("OnDeviceConnection"), 1);
    EXPECT_EQ(rig.events.of("OnDeviceConnection")[0].args, (Args{"1a2b3c4d", "0"}));
    EXPECT_EQ(rig.control->ZeroLevel(1), 100);
    EXPECT_EQ(rig.control->ZeroLevel(2), 128);
    EXPECT_EQ(rig.control->ZeroLevel(3), 131);
    EXPECT_EQ(rig.control->ZeroLevel(4), 200);
    EXPECT_EQ(rig.outputCount(d), 1u) << "the start command goes out once per first sight";
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 0);
}

TEST_F(CrmControlTest, ZeroLevelRoundsHalvesToEven) {
    const auto d = rig.addDevice("1a2b3c4d");
    std::array<int, 16> up{}, down{};
    for (int g = 0; g < 16; ++g) {
        up[g] = g % 2 ? 126 : 125;   // 2,008 / 16 = 125.5
        down[g] = g % 2 ? 125 : 124; // 1,992 / 16 = 124.5
    }
    d.lines->pattern(1, 0, LONG_MAX, up);
    d.lines->pattern(2, 0, LONG_MAX, down);
    ASSERT_TRUE(startAndConnect(rig));
    EXPECT_EQ(rig.control->ZeroLevel(1), 126);
    EXPECT_EQ(rig.control->ZeroLevel(2), 124);
}

TEST_F(CrmControlTest, TwoFillerDrawsGiveTheDevicesDifferentCommands) {
    const auto a = rig.addDevice("aaaa0001");
    const auto b = rig.addDevice("bbbb0002");
    ASSERT_TRUE(startAndConnect(rig));
    EXPECT_EQ(rig.events.of("OnDeviceConnection").back().args, (Args{"aaaa0001", "bbbb0002"}));
    const auto ra = rig.bus.outputReports(a.id);
    const auto rb = rig.bus.outputReports(b.id);
    ASSERT_FALSE(ra.empty());
    ASSERT_FALSE(rb.empty());
    const auto& x = ra.back().bytes;
    const auto& y = rb.back().bytes;
    EXPECT_TRUE(standin::isStartCommand(x));
    EXPECT_TRUE(standin::isStartCommand(y));
    EXPECT_TRUE(std::equal(x.begin(), x.begin() + 12, y.begin()));
    EXPECT_TRUE(std::equal(x.begin() + 57, x.end(), y.begin() + 57));
    EXPECT_FALSE(std::equal(x.begin() + 12, x.begin() + 57, y.begin() + 12));
}

TEST_F(CrmControlTest, AHandlerThatAssignsTheSerialChangesTheControlsSerial) {
    rig.addDevice("1a2b3c4d");
    rig.events.onConnection = [](std::string& s1, std::string&) { s1 = "CRM-0001"; };
    ASSERT_TRUE(startAndConnect(rig));
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "CRM-0001");
    rig.runTicks(30);
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "CRM-0001");
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 1);
}

// A host whose handler runs a message loop lets the timer fire inside the tick.
TEST_F(CrmControlTest, ATickInsideAnEventHandlerDoesNothing) {
    rig.addDevice("1a2b3c4d");
    int nested = 0;
    rig.events.onConnection = [&](std::string&, std::string&) {
        const auto before = rig.control->supervision().CalibrationDelayTicks;
        rig.control->Timer1_Timer();
        rig.control->Timer1_Timer();
        EXPECT_EQ(rig.control->supervision().CalibrationDelayTicks, before);
        ++nested;
    };
    ASSERT_TRUE(startAndConnect(rig));
    rig.runTicks(30);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 1);
}

// The tick that raised the connection goes on after the handler: the reset must
// still take the device through first sight and a new calibration.
TEST_F(CrmControlTest, AResetInsideTheConnectionHandlerConnectsAgainThroughFirstSight) {
    const auto d = rig.addDevice("1a2b3c4d");
    bool reset = true;
    rig.events.onConnection = [&](std::string&, std::string&) {
        if (std::exchange(reset, false))
            rig.control->G_Reset();
    };
    ASSERT_TRUE(startAndConnect(rig));
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "0");
    EXPECT_FALSE(rig.control->supervision().CalibrationDone);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") == 2; }, 100));
    EXPECT_EQ(rig.outputCount(d), 2u) << "a start command for each first sight";
    EXPECT_EQ(rig.events.records.size(), 3u);
    EXPECT_EQ(rig.events.records[1].event, "OnDeviceDisconnected");
    EXPECT_EQ(rig.events.records[2].args, (Args{"1a2b3c4d", "0"}));
    // The new connection's calibration waited its ten counted ticks again.
    EXPECT_GE(rig.events.records[2].tick - rig.events.records[0].tick, 12);
}

TEST_F(CrmControlTest, UnpluggingDevice1AfterTheConnectionDisconnectsOnce) {
    const auto d = rig.addDevice("1a2b3c4d");
    ASSERT_TRUE(startAndConnect(rig));
    rig.bus.apply(d.id, platform::DeviceAction::Unplug);
    rig.runTicks(50);
    ASSERT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
    EXPECT_EQ(rig.events.of("OnDeviceDisconnected")[0].args, (Args{"0", "0"}));
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "0");
    EXPECT_FALSE(rig.control->supervision().CalibrationDone);

    // Plugged in again: a new first sight and a new connection.
    rig.bus.apply(d.id, platform::DeviceAction::Plug);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") == 2; }, 100));
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
}

TEST_F(CrmControlTest, NoDisconnectionBeforeAnyTickHasSeenADevice) {
    const auto d = rig.addDevice("1a2b3c4d");
    rig.control->G_Start();
    rig.runTicks(1); // discovery opens it; no tick has seen it yet
    rig.bus.apply(d.id, platform::DeviceAction::Unplug);
    rig.runTicks(50);
    EXPECT_TRUE(rig.events.records.empty());
}

TEST_F(CrmControlTest, NoDeviceRaisesNothing) {
    rig.control->G_Start();
    rig.runTicks(100);
    EXPECT_TRUE(rig.events.records.empty());
}

TEST_F(CrmControlTest, ASingleReadTimeOutDisconnectsAndReconnectsOnce) {
    const auto d = rig.addDevice("1a2b3c4d");
    ASSERT_TRUE(startAndConnect(rig));
    rig.bus.apply(d.id, platform::DeviceAction::GoSilent);
    rig.runTicks(1); // its read times out
    EXPECT_FALSE(rig.link.DeviceDetected_1);
    rig.bus.apply(d.id, platform::DeviceAction::Resume);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") == 2; }, 100));
    rig.runTicks(100);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 2);
    EXPECT_EQ(rig.events.of("OnDeviceConnection")[1].args, (Args{"1a2b3c4d", "0"}));
}

TEST_F(CrmControlTest, TwoCountedDevicesStartTheLatchAndFallingBackToOneDisconnects) {
    const auto a = rig.addDevice("aaaa0001");
    const auto b = rig.addDevice("bbbb0002");
    ASSERT_TRUE(startAndConnect(rig));
    EXPECT_TRUE(rig.control->supervision().TwoDeviceMode);
    EXPECT_TRUE(rig.control->supervision().TwoDeviceRescanDone);
    // The latch sends both devices through first sight a second time.
    EXPECT_EQ(rig.outputCount(a), 2u);
    EXPECT_EQ(rig.outputCount(b), 2u);
    EXPECT_EQ(rig.events.count("OnDeviceConnection"), 1);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 0);

    rig.bus.apply(b.id, platform::DeviceAction::Unplug);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") == 2; }, 200));
    rig.runTicks(100);
    // The loss of Device2, which the host was told of, is one disconnection; Device1
    // alone then goes through first sight and calibration.
    const std::vector<Args> expected = {
        {"OnDeviceConnection", "aaaa0001", "bbbb0002"},
        {"OnDeviceDisconnected", "0", "0"},
        {"OnDeviceConnection", "aaaa0001", "0"},
    };
    EXPECT_EQ(rig.events.sequence(), expected);
    EXPECT_FALSE(rig.control->supervision().TwoDeviceMode);
}

// A second device whose interface path the presence scan does not count (the
// platform wrote its ids in upper case): it is opened, but never latches.
TEST_F(CrmControlTest, LosingDevice2AloneRaisesNothingAndZeroesItsLines) {
    rig.addDevice("aaaa0001");
    auto source = std::make_unique<ScriptedLines>();
    source->level = {140, 141, 142, 143};
    platform::DeviceDescription second;
    second.interfacePath =
        "\\\\?\\HID#VID_04D8&PID_C5A7#7&bbbb0002&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const auto b = rig.bus.addDevice(second, std::move(source));
    ASSERT_TRUE(startAndConnect(rig));
    ASSERT_EQ(rig.events.of("OnDeviceConnection")[0].args, (Args{"aaaa0001", "bbbb0002"}));
    EXPECT_FALSE(rig.control->supervision().TwoDeviceMode);
    EXPECT_EQ(rig.control->ZeroLevel(5), 140);
    EXPECT_EQ(rig.control->ZeroLevel(8), 143);

    rig.bus.apply(b, platform::DeviceAction::Unplug);
    rig.runTicks(100);
    EXPECT_EQ(rig.events.records.size(), 1u) << "only the connection";
    EXPECT_EQ(rig.link.DeviceSerialNumber_2, "0");
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "aaaa0001");
    for (int k = 5; k <= 8; ++k)
        EXPECT_EQ(rig.control->ZeroLevel(k), 0) << "line " << k;
    EXPECT_EQ(rig.control->ZeroLevel(1), 128);
}

TEST_F(CrmControlTest, ResetDisconnectsAtOnceAndReconnectsThroughFirstSight) {
    const auto d = rig.addDevice("1a2b3c4d");
    ASSERT_TRUE(startAndConnect(rig));
    rig.control->G_Reset();
    ASSERT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
    EXPECT_EQ(rig.events.records.back().args, (Args{"0", "0"}));
    EXPECT_EQ(rig.link.DeviceSerialNumber_1, "0");
    EXPECT_FALSE(rig.control->supervision().CalibrationDone);
    ASSERT_TRUE(rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") == 2; }, 100));
    EXPECT_EQ(rig.outputCount(d), 2u);
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
}

TEST_F(CrmControlTest, ResetOnAStoppedControlRaisesAtOnce) {
    rig.addDevice("1a2b3c4d");
    rig.control->G_Reset();
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 1);
    EXPECT_FALSE(rig.control->timerEnabled());
}

TEST_F(CrmControlTest, StopThenStartRaisesNothingAndContinues) {
    rig.addDevice("1a2b3c4d");
    ASSERT_TRUE(startAndConnect(rig));
    const auto before = rig.events.records.size();
    rig.control->G_Stop();
    EXPECT_EQ(rig.runTicks(50), 0);
    rig.control->G_Start();
    EXPECT_EQ(rig.runTicks(50), 50);
    EXPECT_EQ(rig.events.records.size(), before);
    EXPECT_TRUE(rig.control->supervision().CalibrationDone);
}

TEST_F(CrmControlTest, AControlNeverStartedOpensNothing) {
    const auto d = rig.addDevice("1a2b3c4d");
    EXPECT_EQ(rig.runTicks(100), 0);
    EXPECT_TRUE(rig.events.records.empty());
    const auto audit = rig.bus.audit();
    ASSERT_EQ(audit.devices.size(), 1u);
    EXPECT_EQ(audit.devices[0].handlesOpened, 0);
    EXPECT_EQ(rig.outputCount(d), 0u);
}

TEST_F(CrmControlTest, TerminateClosesTheDeviceHandlesAndRaisesNothing) {
    rig.addDevice("aaaa0001");
    rig.addDevice("bbbb0002");
    ASSERT_TRUE(startAndConnect(rig));
    const auto before = rig.events.records.size();
    EXPECT_GT(rig.bus.audit().openDeviceHandles(), 0);
    rig.control->UserControl_Terminate();
    EXPECT_FALSE(rig.control->timerEnabled());
    EXPECT_EQ(rig.bus.audit().openDeviceHandles(), 0) << rig.bus.audit().describe();
    EXPECT_EQ(rig.events.records.size(), before);
}

} // namespace
} // namespace crmcontrol::testing
