// The simulated bus's plug and unplug reach the process's hidden top-level windows as
// WM_DEVICECHANGE with DBT_DEVNODES_CHANGED, as the platform's broadcast does.
#include "platform/simulated_bus.h"
#include "platform/windows/device_change_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace platform {
namespace {

int pumpDeviceChanges(HWND window) {
    int n = 0;
    MSG msg;
    while (::PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
        if (msg.message == kWmDeviceChange && msg.wParam == kDbtDevNodesChanged)
            ++n;
        ::DispatchMessageA(&msg);
    }
    return n;
}

TEST(DeviceChangeBroadcast, IsPostedToHiddenTopLevelWindows) {
    const HWND window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr);
    if (!window)
        GTEST_SKIP() << "no window can be made here (Wine without a display)";
    SimulatedBus bus;
    bus.addDeviceChangeListener(postDeviceChangeToProcessWindows);
    const DeviceId dev = bus.addDevice({}, nullptr, false);
    EXPECT_EQ(pumpDeviceChanges(window), 0);
    bus.apply(dev, DeviceAction::Plug);
    EXPECT_EQ(pumpDeviceChanges(window), 1);
    bus.apply(dev, DeviceAction::Unplug);
    EXPECT_EQ(pumpDeviceChanges(window), 1);
    ::DestroyWindow(window);
}

} // namespace
} // namespace platform
