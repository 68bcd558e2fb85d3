// The events of the Norvellix control as a C++ host's sink receives them, with
// NORVELLIX_SIMULATOR naming a scenario of one device and two calls (or, for the
// ringing tests, lines that ring while their device is calibrated). Each test
// plays the scenario from its start, so each runs in a process of its own
// (one ctest entry per test). That releasing the control closes its devices is
// seen in norvellix_inprocess_test, where the simulated bus is the test's own.
#include "activex/tests/com_test_support.h"
#include "activex/text.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"

using namespace norvellix_test;
using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

class NorvellixEvents : public activex::testing::ComApartment {
protected:
    // Creates and starts the control with the sink advised; pumps until the
    // sink has `count` calls, then `afterMs` longer, so that a call too many shows.
    void run(const ComPtr<RecordingSink>& sink, size_t count, DWORD afterMs = 0) {
        ComPtr<IDispatch> control;
        ASSERT_EQ(CoCreateInstance(CLSID_Norvellix, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   control.putVoid()),
                  S_OK);
        ComPtr<IConnectionPoint> cp;
        ASSERT_EQ(control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID___Norvellix,
                                                                               cp.put()),
                  S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
        ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);
        EXPECT_TRUE(pumpUntil([&] { return sink->calls.size() >= count; }, kLimitMs))
            << "got " << sink->calls.size() << " events";
        if (afterMs > 0)
            pumpUntil([] { return false; }, afterMs);
        ASSERT_EQ(callMethod(control.get(), kG_Stop), S_OK);
        cp->Unadvise(cookie);
        cp.reset();
        control.reset();
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

TEST_F(NorvellixEvents, HostReleasingTheControlInsideAnEventEndsItAfterTheTick) {
    ComPtr<IDispatch> control;
    ASSERT_EQ(CoCreateInstance(CLSID_Norvellix, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               control.putVoid()),
              S_OK);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(
        control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID___Norvellix, cp.put()),
        S_OK);
    DWORD cookie = 0;
    // The handler of the connection lets go of everything it holds of the control.
    auto sink = RecordingSink::make(DIID___Norvellix, [&](DISPID, DISPPARAMS&) {
        cp->Unadvise(cookie);
        cp.reset();
        control.reset();
    });
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);
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
