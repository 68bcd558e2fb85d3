// The controller on the platform's own windows: the start-up pass posted to its hidden
// window, the device-change broadcast that the simulated bus sends to the process's
// windows, and hand-overs served by the thread's message loop.
#include "hidcontroller/bindings.h"
#include "hidcontroller/hid_device_controller.h"
#include "hidcontroller/windows/window_ui_thread.h"
#include "platform/simulated_bus.h"
#include "platform/windows/device_change_windows.h"

#include <gtest/gtest.h>

namespace hidcontroller::testing {
namespace {

using namespace platform;
using namespace std::chrono_literals;

class WindowControllerTest : public ::testing::Test {
public:
    void changed(THidDeviceController&) { ++changes; }
    void data(THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++reports; }

protected:
    SimulatedBus bus{ClockMode::Fast};
    SimulatedApi api{bus};
    int listener = bus.addDeviceChangeListener(postDeviceChangeToProcessWindows);
    WindowUiThread ui;
    int changes = 0;
    int reports = 0;

    void SetUp() override {
        if (!ui.windowsWork())
            GTEST_SKIP() << "no window can be made here (Wine without a display)";
    }

    void TearDown() override {
        bus.removeDeviceChangeListener(listener);
        if (!ui.windowsWork())
            return;
        const Audit a = bus.audit();
        EXPECT_TRUE(a.clean()) << a.describe();
        EXPECT_FALSE(processBindings().hid.IsHidBound());
    }
};

TEST_F(WindowControllerTest, StartUpPassAndBroadcastsReachTheHiddenWindow) {
    const DeviceId late = bus.addDevice({}, nullptr, false);
    THidDeviceController c(api, ui);
    c.setLoading(true);
    c.SetOnDeviceChange(TNotifyEvent::of<&WindowControllerTest::changed>(*this));
    c.setLoading(false);
    ASSERT_TRUE(c.hasWindow());
    ASSERT_TRUE(pumpMessagesUntil([&] { return changes == 1; }, 5s));
    EXPECT_EQ(c.ChangeParam(), kStartupChangeParam);
    EXPECT_EQ(c.deviceCount(), 0);

    bus.apply(late, DeviceAction::Plug);
    ASSERT_TRUE(pumpMessagesUntil([&] { return changes == 2; }, 5s));
    EXPECT_EQ(c.ChangeParam(), 0);
    EXPECT_EQ(c.deviceCount(), 1);
}

TEST_F(WindowControllerTest, ReportsAreHandedOverThroughTheMessageLoop) {
    bus.addDevice({}, nullptr);
    THidDeviceController c(api, ui);
    ASSERT_TRUE(pumpMessagesUntil([&] { return c.deviceCount() == 1; }, 5s));
    std::unique_ptr<THidDevice> dev;
    ASSERT_TRUE(c.AcquireDeviceAt(dev, 0));
    dev->SetDataHandler(THidDataEvent::of<&WindowControllerTest::data>(*this));
    ASSERT_TRUE(pumpMessagesUntil([&] { return reports >= 10; }, 5s));
    dev.reset(); // stops the thread while it may wait for the loop
}

} // namespace
} // namespace hidcontroller::testing
