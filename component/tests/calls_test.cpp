// Calls end to end: bursts on the stand-in's lines, detected, captured and decoded,
// on every line of both devices, with the start command after each capture.
#include "component/tests/component_rig.h"

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

} // namespace
} // namespace component::testing
