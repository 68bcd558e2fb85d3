// The user-interface thread on Windows: hidden top-level windows (they receive the
// platform's device-change broadcast) and a hidden window whose posted message runs
// the calls that read threads hand over, from the thread's own message loop.
#pragma once

#include "hidcontroller/ui_thread.h"

#include <chrono>
#include <functional>

namespace hidcontroller {

class WindowUiThread final : public UiThread {
public:
    // Made on the thread whose message loop serves the windows.
    WindowUiThread();
    ~WindowUiThread() override;
    WindowUiThread(const WindowUiThread&) = delete;
    WindowUiThread& operator=(const WindowUiThread&) = delete;

    std::unique_ptr<NotificationWindow> createNotificationWindow(WindowProc proc) override;
    UiCallQueue& calls() override { return calls_; }
    // False where the platform makes no window (Wine without a display): nothing
    // posted to this thread's windows then arrives.
    bool windowsWork() const { return windowsWork_; }

private:
    bool windowsWork_ = false;
    UiCallQueue calls_;
    std::unique_ptr<NotificationWindow> callWindow_;
};

// Runs this thread's message loop until `done` holds or `limit` passes; true when
// `done` held. For hosts and tests that have no loop of their own.
bool pumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

} // namespace hidcontroller
