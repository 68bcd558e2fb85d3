// The Norvellix control created in this process (its code linked in, the type
// library embedded in this program), so the test sees the simulated bus the
// control drives: a control never started opens nothing, and releasing a
// started one closes the handles it opened.
#include "activex/tests/com_test_support.h"
#include "crmcontrol/com/norvellix_control.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"
#include "platform/process_api.h"

using namespace norvellix_test;
using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

class NorvellixInProcess : public activex::testing::ComApartment {
protected:
    void SetUp() override {
        ComApartment::SetUp();
        bus_ = platform::processSimulatedBus();
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

    platform::SimulatedBus* bus_ = nullptr;
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
