// The hand-over of calls from read threads to the user-interface thread, which
// blocks each reader until its call has run there.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hidcontroller {

// Calls handed to the user-interface thread. Readers block in runAndWait until the
// user-interface thread has run their call, from its message loop (serve) or while it
// waits for a reader to end (serveUntil). A call may run a message loop of its own, in
// which further calls run: the calls running at one time form a stack. A call that
// throws is settled like any other; its exception goes on to the caller of serve.
class UiCallQueue {
public:
    explicit UiCallQueue(std::thread::id uiThread = std::this_thread::get_id());
    ~UiCallQueue();
    UiCallQueue(const UiCallQueue&) = delete;
    UiCallQueue& operator=(const UiCallQueue&) = delete;

    // Tells the user-interface thread's message loop that a call waits (on Windows a
    // posted message); called without the queue's lock, on the reader's thread.
    void setWake(std::function<void()> wake);

    // From any thread: runs `call` on the user-interface thread and returns once it
    // has run (directly when called on that thread). `from` names the caller, so that
    // the user-interface thread can tie work to the call while it runs. False when the
    // queue was closed before the call ran.
    bool runAndWait(std::function<void()> call, const void* from = nullptr);

    // On the user-interface thread: runs every call queued now, in order; then rethrows
    // the first exception of a call run since the last serve.
    void serve();
    // On the user-interface thread: runs calls as they come until `finished` holds;
    // whoever makes it hold calls notify(). Never throws: a stop waits here, also in
    // destructors, so what a call threw goes on from the next serve.
    void serveUntil(const std::function<bool()>& finished);
    void notify();

    // On the user-interface thread: when a call handed over by `from` is running (at
    // whatever depth of nested loops), `action` runs once that very call has returned
    // and released its caller; true. False when no call of `from` runs.
    bool afterCallFrom(const void* from, std::function<void()> action);

    // Waits up to `limit` for a call to be queued; true when one is.
    bool waitForCall(std::chrono::milliseconds limit);

    // No call runs any more; waiting readers are released.
    void close();

    std::thread::id uiThread() const { return uiThread_; }

private:
    struct Pending;
    bool runOne(std::unique_lock<std::mutex>& lock);

    std::thread::id uiThread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Pending>> queue_;
    std::function<void()> wake_;
    std::vector<Pending*> running_; // innermost last; user-interface thread only
    std::exception_ptr failed_;     // a call's, not passed on yet; user-interface thread only
    std::uint64_t notifications_ = 0;
    bool closed_ = false;
};

} // namespace hidcontroller
