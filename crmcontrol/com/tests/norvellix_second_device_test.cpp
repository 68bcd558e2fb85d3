// The Norvellix control (its code linked into this program, as in
// norvellix_inprocess_test) next to a second device it cannot use: one held by
// another program, or one whose reports would not fit, enumerated before the
// first. The control runs on its own timer; the test adds the devices to the
// process's simulated bus (NORVELLIX_SIMULATOR names a scenario without any) and
// reads the bus's audit when the control is gone. Each test runs in a process of
// its own (one ctest entry per test): the bus is the process's.
#include "activex/tests/com_test_support.h"
#include "backend/process_api.h"
#include "crmcontrol/com/norvellix_control.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"
#include "standin/scenario.h"
#include "standin/tests/scenario_text.h"

#include <functional>

using namespace norvellix_test;
using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

using Args = std::vector<std::string>;

class NorvellixSecondDevice : public activex::testing::ComApartment {
protected:
    void SetUp() override {
        ComApartment::SetUp();
        bus_ = backend::processSimulatedBus();
        ASSERT_NE(bus_, nullptr) << "NORVELLIX_SIMULATOR names no scenario";
        ASSERT_TRUE(bus_->audit().devices.empty());
    }

    // The devices of a scenario text; `adjust` may change what the format cannot say.
    void install(const std::string& text,
                 const std::function<void(standin::Scenario&)>& adjust = nullptr) {
        ASSERT_EQ(standin::testing::installScenarioText(*bus_, text, adjust), "");
    }

    // Starts the control with a sink; pumps until the sink has `count` events, then a
    // little longer so that an event too many would show.
    void run(size_t count) {
        ComPtr<IDispatch> control;
        ASSERT_EQ(crmcontrol::com::NorvellixControl::create(IID_IDispatch, control.putVoid()),
                  S_OK);
        ComPtr<IConnectionPoint> cp;
        ASSERT_EQ(control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID___Norvellix,
                                                                               cp.put()),
                  S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(cp->Advise(sink_.get(), &cookie), S_OK);
        ASSERT_EQ(callMethod(control.get(), kG_Start), S_OK);
        EXPECT_TRUE(pumpUntil([&] { return sink_->calls.size() >= count; }, kLimitMs))
            << "got " << sink_->calls.size() << " events";
        pumpUntil([] { return false; }, 500);
        cp->Unadvise(cookie);
        cp.reset();
        control.reset();
        const platform::Audit audit = bus_->audit();
        EXPECT_TRUE(audit.clean()) << audit.describe();
    }

    std::vector<std::string> events() const { return eventTexts(sink_->calls); }

    platform::SimulatedBus* bus_ = nullptr;
    ComPtr<RecordingSink> sink_ = RecordingSink::make(DIID___Norvellix);
};

} // namespace

// Held by another program at the start: the first device connects alone and its call
// arrives; once the other program lets go, the second is taken in and its call arrives.
TEST_F(NorvellixSecondDevice, HeldSecondLeavesTheFirstWorkingAndIsTakenInOnceReleased) {
    install("mode fast\n"
            "device first instance=1a2b3c4d\n"
            "device other instance=5e6f7a8b held\n"
            "call 0.3 first 2 number=5551234 type=sdmf\n"
            "release 0.8 other\n"
            "call 1.8 other 3 number=02125550199 type=sdmf\n");
    run(4);
    EXPECT_EQ(events(),
              (Args{"OnDeviceConnection 1a2b3c4d 0", "OnCallerID 1a2b3c4d 2 5551234",
                    "OnDeviceConnection 1a2b3c4d 5e6f7a8b", "OnCallerID 5e6f7a8b 3 02125550199"}));
}

// Reports longer than 65 bytes, enumerated first: never a second device.
TEST_F(NorvellixSecondDevice, LongReportsBeforeTheFirstLeaveItWorking) {
    install("mode fast\n"
            "device other instance=5e6f7a8b\n"
            "device first instance=1a2b3c4d\n"
            "call 0.3 first 2 number=5551234 type=sdmf\n"
            "call 1.3 first 3 number=02125550199 type=sdmf\n",
            [](standin::Scenario& s) { s.devices[0].description.inputReportLength = 66; });
    run(3);
    EXPECT_EQ(events(), (Args{"OnDeviceConnection 1a2b3c4d 0", "OnCallerID 1a2b3c4d 2 5551234",
                              "OnCallerID 1a2b3c4d 3 02125550199"}));
}
