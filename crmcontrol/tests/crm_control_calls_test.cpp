// Calls end to end: caller-ID bursts played on the lines of one and two simulated
// devices reach the host as OnCallerID with the device's serial, the line, the
// host's date and time and the number.
#include "crmcontrol/tests/control_rig.h"
#include "standin/callerid_burst.h"

#include <gtest/gtest.h>
#include <iostream>

namespace crmcontrol::testing {
namespace {

using Args = std::vector<std::string>;

class CallsTest : public ::testing::Test {
protected:
    void TearDown() override {
        rig.control->UserControl_Terminate();
        const auto audit = rig.bus.audit();
        EXPECT_TRUE(audit.misuse.empty()) << audit.describe();
    }

    static std::vector<int> burst(const std::string& number) {
        standin::CallInfo call;
        call.dateTime = "12100930";
        call.number = number;
        return standin::synthesizeBurst(standin::MessageFormat::SingleData, call);
    }

    // Ticks until the number of OnCallerID events reaches n (or the limit).
    bool untilCalls(int n, int limit = 4000) {
        return rig.tickUntil([&] { return rig.events.count("OnCallerID") >= n; }, limit);
    }

    ControlRig rig;
};

TEST_F(CallsTest, ACallOnEachLineOfTwoDevicesIsRaisedOnceWithItsSerialAndLine) {
    const ControlRig::Device devices[] = {rig.addDevice("aaaa0001"), rig.addDevice("bbbb0002")};
    ASSERT_TRUE(startAndConnect(rig));

    for (int k = 1; k <= kLineCount; ++k) {
        const auto& d = devices[(k - 1) / kLinesPerDevice];
        const int position = (k - 1) % kLinesPerDevice + 1;
        const std::string number = "021255501" + std::to_string(k) + "0";
        rig.host.time = "09:30:1" + std::to_string(k);
        const int before = rig.events.count("OnCallerID");
        // The burst starts 100 ms from now.
        d.lines->play(position, sampleAt(rig.bus.now()) + 800, burst(number));
        ASSERT_TRUE(untilCalls(before + 1)) << "line " << k;
        // Every other line's stage is set when the tick ends.
        for (int j = 1; j <= kLineCount; ++j)
            if (j != k)
                EXPECT_TRUE(rig.control->line(j).LineStage) << "line " << j << " after " << k;
        // Let the burst end; it raises nothing more.
        rig.runTicks(600);
        const auto calls = rig.events.of("OnCallerID");
        ASSERT_EQ(calls.size(), static_cast<std::size_t>(before + 1)) << "line " << k;
        EXPECT_EQ(calls.back().args,
                  (Args{d.serial, std::to_string(position), "10.12.2026", rig.host.time, number}))
            << "line " << k;
    }
    EXPECT_EQ(rig.events.count("OnDeviceDisconnected"), 0);
}

TEST_F(CallsTest, ACallTwoSecondsAfterPlugInIsRaised) {
    const auto d = rig.addDevice("1a2b3c4d");
    const std::string number = "05321234567";
    d.lines->play(1, 2 * kSamplesPerSecond, burst(number));
    rig.control->G_Start();
    ASSERT_TRUE(untilCalls(1));
    const auto call = rig.events.of("OnCallerID")[0];
    EXPECT_EQ(call.args, (Args{"1a2b3c4d", "1", "10.12.2026", "09:30:15", number}));
    const auto connection = rig.events.of("OnDeviceConnection").at(0);
    std::cout << "[ measure  ] ticks from plug-in to OnCallerID: " << call.tick
              << " (connection in tick " << connection.tick << ")\n";
    ::testing::Test::RecordProperty("TicksToCallerID", static_cast<int>(call.tick));
}

} // namespace
} // namespace crmcontrol::testing
