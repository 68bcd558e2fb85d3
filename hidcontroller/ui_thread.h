// What the controller needs of the host's user-interface thread: a hidden window that
// receives posted and broadcast messages, and the hand-over of a call from a read
// thread to the user-interface thread, which blocks the reader until the call has run.
// The platform's own windows provide them on Windows; MessagePump everywhere else.
#pragma once

#include "hidcontroller/ui_call_queue.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace hidcontroller {

using WindowProc =
    std::function<void(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)>;

// A hidden window of the user-interface thread; its procedure runs on that thread.
class NotificationWindow {
public:
    virtual ~NotificationWindow() = default;
    // Queues a message for the window's procedure (as PostMessage does).
    virtual void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

class UiThread {
public:
    virtual ~UiThread() = default;
    // A hidden window whose procedure is `proc`; it is gone with the returned object.
    virtual std::unique_ptr<NotificationWindow> createNotificationWindow(WindowProc proc) = 0;
    virtual UiCallQueue& calls() = 0;
};

} // namespace hidcontroller
