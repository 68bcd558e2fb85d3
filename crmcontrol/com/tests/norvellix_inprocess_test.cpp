// The Norvellix control created in this process (its code linked in, the type
// library embedded in this program), so the test sees the simulated bus the
// control drives: a control never started opens nothing, releasing a started
// one closes the handles it opened, a host that resets the control from its
// event handlers, and a device that stops answering. Each test plays its
// scenario from the start, in a process of its own.
#include "activex/tests/com_test_support.h"
#include "backend/process_api.h"
#include "crmcontrol/com/norvellix_control.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"

#include <iostream>
#include <utility>

using namespace norvellix_test;
using namespace std::chrono_literals;
using activex::ComPtr;
using activex::testing::RecordingSink;
using Args = std::vector<std::string>;

namespace {

class NorvellixInProcess : public activex::testing::ComApartment {
protected:
    void SetUp() override {
        ComApartment::SetUp();
        bus_ = backend::processSimulatedBus();
        ASSERT_NE(bus_, nullptr) << "NORVELLIX_SIMULATOR names no scenario";
        ASSERT_EQ(bus_->audit().devices.size(), 1u);
    }

    ComPtr<IDispatch> create() {
        ComPtr<IDispatch> control;
        EXPECT_EQ(crmcontrol::com::NorvellixControl::create(IID_IDispatch, control.putVoid()),
                  S_OK);
        return control;
    }

    platform::DeviceAudit device() const { return bus_->audit().devices.at(0); }

    // Advises `sink` on the control's events; returns the cookie.
    DWORD advise(const ComPtr<IDispatch>& control, const ComPtr<RecordingSink>& sink) {
        EXPECT_EQ(control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID___Norvellix,
                                                                               point_.put()),
                  S_OK);
        DWORD cookie = 0;
        EXPECT_EQ(point_->Advise(sink.get(), &cookie), S_OK);
        return cookie;
    }

    // Stops and lets go of the control: its handles closed, none misused.
    void stopAndRelease(ComPtr<IDispatch>& control, DWORD cookie) {
        EXPECT_EQ(callMethod(control.get(), kG_Stop), S_OK);
        point_->Unadvise(cookie);
        point_.reset();
        control.reset();
        const platform::Audit audit = bus_->audit();
        EXPECT_TRUE(audit.clean()) << audit.describe();
    }

    platform::SimulatedBus* bus_ = nullptr;
    ComPtr<IConnectionPoint> point_;
};

} // namespace

TEST_F(NorvellixInProcess, NeverStartedOpensNothingAndStartedReleasedClosesAll) {
    // Created and left alone: no handle of the device is ever opened.
    auto idle = create();
    pumpUntil([] { return false; }, 100);
    idle.reset();
    EXPECT_EQ(device().handlesOpened, 0);

    auto control = create();
    auto sink = RecordingSink::make(DIID___Norvellix);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(
        control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID___Norvellix, cp.put()),
        S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);
    ASSERT_TRUE(pumpUntil([&] { return !sink->calls.empty(); }, kLimitMs));
    EXPECT_EQ(sink->calls[0].id, kOnDeviceConnection);
    EXPECT_GT(device().openHandles, 0) << "a connected device has its handles open";

    // Released while running: termination closes the read and write handles.
    cp->Unadvise(cookie);
    cp.reset();
    control.reset();
    const platform::Audit audit = bus_->audit();
    EXPECT_EQ(audit.openDeviceHandles(), 0) << audit.describe();
    EXPECT_TRUE(audit.clean()) << audit.describe();
}

// The events pass the control's serials by reference. A handler that resets the
// control leaves them "0" (it wrote nothing to them), so the next tick takes the
// device through first sight again: a new start command and a new connection.
TEST_F(NorvellixInProcess, ResetInsideTheConnectionAndTheCallHandlers) {
    ComPtr<IDispatch> control = create();
    // Start commands the device had when each connection and each reset was raised.
    std::vector<std::size_t> atConnection, atReset;
    bool resetOnConnection = true, resetOnCall = true;
    auto sink = RecordingSink::make(DIID___Norvellix, [&](DISPID id, DISPPARAMS&) {
        const std::size_t commands = bus_->outputReports(0).size();
        if (id == kOnDeviceConnection)
            atConnection.push_back(commands);
        bool& reset = id == kOnDeviceConnection ? resetOnConnection : resetOnCall;
        if (id != kOnDeviceDisconnected && std::exchange(reset, false)) {
            atReset.push_back(commands);
            EXPECT_EQ(callMethod(control.get(), kG_Reset), S_OK);
        }
    });
    const DWORD cookie = advise(control, sink);
    ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);
    EXPECT_TRUE(pumpUntil([&] { return sink->calls.size() >= 7; }, kLimitMs))
        << "got " << sink->calls.size() << " events";

    std::vector<Args> events;
    for (const auto& c : sink->calls) {
        events.push_back({std::to_string(c.id)});
        // The date and time of a call are the host's: not compared.
        for (std::size_t i = 0; i < c.args.size(); ++i)
            if (c.id != kOnCallerID || (i != 2 && i != 3))
                events.back().push_back(c.args[i]);
    }
    const std::vector<Args> expected = {
        {"2", "1a2b3c4d", "0"},            // reset inside the handler:
        {"3", "0", "0"},                   //   its disconnection, at once
        {"2", "1a2b3c4d", "0"},            // first sight and calibration again
        {"1", "1a2b3c4d", "2", "5551234"}, // reset inside the handler:
        {"3", "0", "0"},                   //   its disconnection, at once
        {"2", "1a2b3c4d", "0"},            // first sight and calibration again
        {"1", "1a2b3c4d", "3", "02125550199"},
    };
    EXPECT_EQ(events, expected);
    // Each reset is followed by a first sight: a start command before the next
    // connection (captures write it too, so the count of the last is not fixed).
    ASSERT_EQ(atReset.size(), 2u);
    ASSERT_EQ(atConnection.size(), 3u);
    EXPECT_EQ(atConnection[0], 1u);
    EXPECT_EQ(atConnection[1], 2u);
    EXPECT_GT(atConnection[2], atReset[1]);

    stopAndRelease(control, cookie);
}

// The scenario's device stops answering during the capture of a call and stays
// plugged in (scenarios/silent.scn, on the bus's virtual clock, where a read that
// runs out its limit takes 500 ms of bus time and none of the wall clock). The
// host's message loop is blocked at most one read limit at a time (with the
// reports of one capture), and one disconnection follows the connection.
TEST_F(NorvellixInProcess, ASilentDeviceBlocksTheHostAtMostOneReadLimitAtATime) {
    bus_->setMode(platform::ClockMode::Fast);
    ComPtr<IDispatch> control = create();
    auto sink = RecordingSink::make(DIID___Norvellix);
    const DWORD cookie = advise(control, sink);
    ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);

    // Every message of the thread, the control's timer among them, on the bus clock.
    platform::Microseconds longest{0};
    const ULONGLONG end = GetTickCount64() + kLimitMs;
    while (bus_->now() < 30s && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const auto start = bus_->now();
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            longest = std::max(longest, bus_->now() - start);
        }
    }
    std::cout << "[ measure  ] silent device: longest message " << longest.count() / 1000
              << " ms of bus time, up to " << bus_->now().count() / 1000 << " ms\n";
    ASSERT_GE(bus_->now(), 30s) << "the scenario did not run its course";
    EXPECT_LT(longest, 500ms + 112 * platform::kReportInterval);

    // The loss is raised once; the attempts at the silent device after it raise nothing.
    ASSERT_EQ(sink->calls.size(), 2u);
    EXPECT_EQ(sink->calls[0].id, kOnDeviceConnection);
    EXPECT_EQ(sink->calls[0].args, (Args{"5e1e0001", "0"}));
    EXPECT_EQ(sink->calls[1].id, kOnDeviceDisconnected);
    EXPECT_EQ(sink->calls[1].args, (Args{"0", "0"}));

    stopAndRelease(control, cookie);
}
