// The user-interface thread of a host without a window system (the native builds and
// their tests): posted messages and handed-over calls, dispatched when the thread runs
// its loop. Built on the thread that uses it. With a simulated bus it also receives
// the bus's device-change broadcast, as the platform posts it to every window.
#pragma once

#include "hidcontroller/ui_thread.h"
#include "platform/simulated_bus.h"

#include <chrono>
#include <map>

namespace hidcontroller {

class MessagePump final : public UiThread {
public:
    explicit MessagePump(platform::SimulatedBus* bus = nullptr);
    ~MessagePump() override;
    MessagePump(const MessagePump&) = delete;
    MessagePump& operator=(const MessagePump&) = delete;

    std::unique_ptr<NotificationWindow> createNotificationWindow(WindowProc proc) override;
    UiCallQueue& calls() override { return calls_; }

    // WM_DEVICECHANGE with DBT_DEVNODES_CHANGED to every window, the newest first
    // (from any thread).
    void broadcastDeviceChange();

    // Dispatches the messages and calls queued now; the number of dispatches.
    int runPending();
    // Dispatches until `done` holds, waiting for messages and calls in between, for
    // at most `limit`. True when `done` held.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

private:
    class Window;
    struct Message {
        int window;
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    void post(Message m);
    void destroyWindow(int id);
    bool dispatchOne();

    platform::SimulatedBus* bus_;
    int listener_ = -1;
    UiCallQueue calls_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Message> messages_;
    std::map<int, WindowProc> windows_;
    int nextWindow_ = 1;
};

} // namespace hidcontroller
