// The events of the Norvellix control as a C++ host's sink receives them, with
// NORVELLIX_SIMULATOR naming a scenario of one device and two calls (of two calls
// in one capture for the host that freezes events in between, of lines that ring
// while their device is calibrated for the ringing tests, or another that a test
// names). Each test plays the scenario from its start, so each runs in a process of
// its own (one ctest entry per test). That releasing the control closes its devices
// is seen in norvellix_inprocess_test, where the simulated bus is the test's own.
#include "activex/tests/com_test_support.h"
#include "activex/text.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"

#include <iostream>
#include <iterator>
#include <utility>

using namespace norvellix_test;
using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

class NorvellixEvents : public activex::testing::ComApartment {
protected:
    ComPtr<IDispatch> control;
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;

    // Creates and starts the control with the sink advised.
    void start(const ComPtr<RecordingSink>& sink) {
        ASSERT_EQ(CoCreateInstance(CLSID_Norvellix, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   control.putVoid()),
                  S_OK);
        ASSERT_EQ(control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID___Norvellix,
                                                                               cp.put()),
                  S_OK);
        ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
        ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);
    }
    void stop() {
        ASSERT_EQ(callMethod(control.get(), kG_Stop), S_OK);
        cp->Unadvise(cookie);
        cp.reset();
        control.reset();
    }
    // start(), pumps until the sink has `count` calls, then `afterMs` longer, so that
    // a call too many shows, stop().
    void run(const ComPtr<RecordingSink>& sink, size_t count, DWORD afterMs = 0) {
        ASSERT_NO_FATAL_FAILURE(start(sink));
        EXPECT_TRUE(pumpUntil([&] { return sink->calls.size() >= count; }, kLimitMs))
            << "got " << sink->calls.size() << " events";
        if (afterMs > 0)
            pumpUntil([] { return false; }, afterMs);
        stop();
    }
};

void expectCall(const activex::testing::RecordedCall& call, const std::string& serial,
                const std::string& line, const std::string& number) {
    EXPECT_EQ(call.id, kOnCallerID);
    ASSERT_EQ(call.args.size(), 5u);
    EXPECT_EQ(call.args[0], serial);
    EXPECT_EQ(call.args[1], line);
    EXPECT_FALSE(call.args[2].empty()) << "CallDate";
    EXPECT_FALSE(call.args[3].empty()) << "CallTime";
    EXPECT_EQ(call.args[4], number);
}

} // namespace

TEST_F(NorvellixEvents, ConnectionThenBothCalls) {
    auto sink = RecordingSink::make(DIID___Norvellix);
    run(sink, 3);
    ASSERT_GE(sink->calls.size(), 3u);
    EXPECT_EQ(sink->calls[0].id, kOnDeviceConnection);
    EXPECT_EQ(sink->calls[0].args, (std::vector<std::string>{"1a2b3c4d", "0"}));
    expectCall(sink->calls[1], "1a2b3c4d", "2", "5551234");
    expectCall(sink->calls[2], "1a2b3c4d", "3", "02125550199");
    EXPECT_EQ(sink->calls.size(), 3u);

    // The date and time are the host's, in the system's formats.
    wchar_t date[128] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
    EXPECT_EQ(sink->calls[2].args[2], activex::wideToUtf8(date));
}

TEST_F(NorvellixEvents, SerialAssignedByTheSinkReachesTheNextEvent) {
    auto sink = RecordingSink::make(DIID___Norvellix, [](DISPID id, DISPPARAMS& p) {
        if (id == kOnDeviceConnection) // DeviceSerialNumber_1 (arguments arrive reversed)
            activex::testing::assignBstrRef(p.rgvarg[1], "ABCDEFGH");
    });
    run(sink, 2);
    ASSERT_GE(sink->calls.size(), 2u);
    EXPECT_EQ(sink->calls[0].args[0], "1a2b3c4d");
    expectCall(sink->calls[1], "ABCDEFGH", "2", "5551234");
}

// With NORVELLIX_SIMULATOR naming a scenario of two calls in one capture: the host
// freezes the control's events in its handler of the first, so the second is raised
// while they are frozen; it reaches the host once, when the host thaws them.
TEST_F(NorvellixEvents, CallRaisedWhileFrozenArrivesOnceAtTheThaw) {
    activex::testing::FreezeInFirstHandler freezer(kOnCallerID);
    auto sink = RecordingSink::make(DIID___Norvellix, freezer.handler());
    ASSERT_NO_FATAL_FAILURE(start(sink));
    freezer.attach(control.get());
    ASSERT_TRUE(pumpUntil([&] { return freezer.frozen(); }, kLimitMs));
    ASSERT_EQ(activex::testing::callsOf(sink->calls, kOnCallerID).size(), 1u);
    expectCall(sink->calls.back(), "1a2b3c4d", "2", "5551234");

    EXPECT_EQ(freezer.thaw(), S_OK);
    const auto calls = activex::testing::callsOf(sink->calls, kOnCallerID);
    ASSERT_EQ(calls.size(), 2u) << "delivered as the host thaws events";
    expectCall(calls[1], "1a2b3c4d", "3", "02125550199");
    pumpUntil([] { return false; }, 1000);
    EXPECT_EQ(activex::testing::callsOf(sink->calls, kOnCallerID).size(), 2u) << "once";
    stop();
}

TEST_F(NorvellixEvents, HostReleasingTheControlInsideAnEventEndsItAfterTheTick) {
    // The handler of the connection lets go of everything it holds of the control.
    auto sink = RecordingSink::make(DIID___Norvellix, [&](DISPID, DISPPARAMS&) {
        cp->Unadvise(cookie);
        cp.reset();
        control.reset();
    });
    ASSERT_NO_FATAL_FAILURE(start(sink));
    ASSERT_TRUE(pumpUntil([&] { return !sink->calls.empty(); }, kLimitMs));
    EXPECT_FALSE(control);
    // The control is gone once its tick is over: no more events.
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(sink->calls.size(), 1u);
}

// Lines that ring while the device is calibrated, each at a phase of its own
// (scenarios/ringing-at-start.scn, in real time): every call after the ring is raised
// once.
TEST_F(NorvellixEvents, LinesRingingThroughCalibrationRaiseEveryLaterCall) {
    auto sink = RecordingSink::make(DIID___Norvellix);
    run(sink, 5, 500);
    EXPECT_EQ(eventTexts(sink->calls),
              (std::vector<std::string>{
                  "OnDeviceConnection 1a2b3c4d 0", "OnCallerID 1a2b3c4d 1 02125550101",
                  "OnCallerID 1a2b3c4d 2 02125550102", "OnCallerID 1a2b3c4d 3 02125550103",
                  "OnCallerID 1a2b3c4d 4 02125550104"}));
}

// The second device's lines ring through calibration, the first one's are at rest
// (scenarios/ringing-second-device.scn, in real time).
TEST_F(NorvellixEvents, SecondDeviceRingingThroughCalibrationRaisesEveryLaterCall) {
    auto sink = RecordingSink::make(DIID___Norvellix);
    run(sink, 6, 500);
    EXPECT_EQ(eventTexts(sink->calls),
              (std::vector<std::string>{
                  "OnDeviceConnection 1a2b3c4d 5e6f7a8b", "OnCallerID 5e6f7a8b 1 03125550201",
                  "OnCallerID 5e6f7a8b 2 03125550202", "OnCallerID 5e6f7a8b 3 03125550203",
                  "OnCallerID 5e6f7a8b 4 03125550204", "OnCallerID 1a2b3c4d 1 03125550101"}));
}

// crmcontrol/tests/data/single-data-calls.scn: single-data messages, whose date and
// time come right before the number, at times that once ran into the number, and
// one multiple-data call. Each is raised once with the caller's number.
TEST_F(NorvellixEvents, SingleDataCallsAreRaisedWithTheirOwnNumbers) {
    auto sink = RecordingSink::make(DIID___Norvellix);
    run(sink, 7, 500);
    ASSERT_EQ(sink->calls.size(), 7u);
    EXPECT_EQ(sink->calls[0].id, kOnDeviceConnection);
    EXPECT_EQ(sink->calls[0].args, (std::vector<std::string>{"5d0c0001", "0"}));
    const std::pair<const char*, const char*> calls[] = {
        {"1", "5551234"},    {"2", "5551234"},     {"3", "3125550100"},
        {"4", "3125550100"}, {"1", "05321234567"}, {"2", "05321234567"},
    };
    for (std::size_t i = 0; i < std::size(calls); ++i)
        expectCall(sink->calls[i + 1], "5d0c0001", calls[i].first, calls[i].second);
}

// replug_beside_second.scenario, in real time: the first of two devices pulled out
// and plugged back in while the second stays. The second goes on alone; the first
// is taken in again soon enough (the look for a second device counts time, whatever
// a tick of the timer lasts here) for its call 1.5 s after the plug to arrive.
TEST_F(NorvellixEvents, ADevicePluggedBackBesideAnotherIsTakenInAtOnceInRealTime) {
    const ULONGLONG start = GetTickCount64();
    std::vector<ULONGLONG> at;
    auto sink = RecordingSink::make(
        DIID___Norvellix, [&](DISPID, DISPPARAMS&) { at.push_back(GetTickCount64() - start); });
    run(sink, 8, 500);
    const std::vector<std::string> expected = {
        "OnDeviceConnection aaaa0001 bbbb0002",
        "OnCallerID aaaa0001 1 5551234",
        "OnDeviceDisconnected 0 0",
        "OnDeviceConnection bbbb0002 0",
        "OnDeviceConnection aaaa0001 bbbb0002",
        "OnCallerID aaaa0001 1 02125550199",
        "OnCallerID aaaa0001 1 3125550100",
        "OnCallerID aaaa0001 1 05321234567",
    };
    EXPECT_EQ(eventTexts(sink->calls), expected);
    // When the host had each event, from the control's creation (the scenario's
    // start, within the few milliseconds that creation takes).
    std::cout << "[ measure  ] events at";
    for (const auto t : at)
        std::cout << " " << t;
    std::cout << " ms (the plug at 6000)\n";
}
