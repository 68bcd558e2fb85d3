// The user-interface thread on Windows: hidden top-level windows (they receive the
// platform's device-change broadcast) and a hidden window whose posted message runs
// the calls that read threads hand over, from the thread's own message loop.
#pragma once

#include "hidcontroller/ui_thread.h"

#include <chrono>
#include <functional>
#include <memory>

namespace hidcontroller {

class WindowUiThread final : public UiThread {
public:
    // Keeps the thread's owner alive for as long as the token it gives is held.
    using OwnerHold = std::function<std::shared_ptr<void>()>;

    // Made on the thread whose message loop serves the windows. Each message of the
    // windows holds the owner (a control) until it is done: it runs the owner's
    // handlers, a host's handler may let the owner go, and the owner takes this thread
    // and its windows with it.
    explicit WindowUiThread(OwnerHold hold = {});
    ~WindowUiThread() override;
    WindowUiThread(const WindowUiThread&) = delete;
    WindowUiThread& operator=(const WindowUiThread&) = delete;

    std::unique_ptr<NotificationWindow> createNotificationWindow(WindowProc proc) override;
    UiCallQueue& calls() override { return calls_; }
    // False where the platform makes no window (Wine without a display): nothing
    // posted to this thread's windows then arrives.
    bool windowsWork() const { return windowsWork_; }

private:
    OwnerHold hold_;
    bool windowsWork_ = false;
    UiCallQueue calls_;
    std::unique_ptr<NotificationWindow> callWindow_;
};

// Runs this thread's message loop until `done` holds or `limit` passes; true when
// `done` held. For hosts and tests that have no loop of their own.
bool pumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

} // namespace hidcontroller
