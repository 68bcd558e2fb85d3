#include "hidcontroller/ui_call_queue.h"

#include <utility>

namespace hidcontroller {

struct UiCallQueue::Pending {
    std::function<void()> call;
    const void* from = nullptr;
    bool done = false;
    // What waits for this call to return (user-interface thread only).
    std::vector<std::function<void()>> afterwards;
};

UiCallQueue::UiCallQueue(std::thread::id uiThread) : uiThread_(uiThread) {}

UiCallQueue::~UiCallQueue() {
    close();
}

void UiCallQueue::setWake(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

bool UiCallQueue::runAndWait(std::function<void()> call, const void* from) {
    if (std::this_thread::get_id() == uiThread_) {
        call();
        return true;
    }
    auto pending = std::make_shared<Pending>();
    pending->call = std::move(call);
    pending->from = from;
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        queue_.push_back(pending);
        wake = wake_;
    }
    changed_.notify_all();
    if (wake)
        wake();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending->done || closed_; });
    return pending->done;
}

bool UiCallQueue::runOne(std::unique_lock<std::mutex>& lock) {
    if (queue_.empty() || closed_)
        return false;
    std::shared_ptr<Pending> pending = queue_.front();
    queue_.pop_front();
    lock.unlock();
    running_.push_back(pending.get());
    // Settled whatever the call does: its reader would wait for ever, and what waits for
    // its return would never run. What it threw goes on from serve.
    try {
        pending->call();
    } catch (...) {
        if (!failed_)
            failed_ = std::current_exception();
    }
    running_.pop_back();
    lock.lock();
    pending->done = true;
    changed_.notify_all();
    if (!pending->afterwards.empty()) {
        std::vector<std::function<void()>> actions = std::move(pending->afterwards);
        lock.unlock();
        for (auto& action : actions)
            action();
        lock.lock();
    }
    return true;
}

bool UiCallQueue::afterCallFrom(const void* from, std::function<void()> action) {
    for (Pending* p : running_) {
        if (from && p->from == from) {
            p->afterwards.push_back(std::move(action));
            return true;
        }
    }
    return false;
}

void UiCallQueue::serve() {
    {
        std::unique_lock lock(mutex_);
        // Only what is queued now: a reader whose call ran queues its next one at once,
        // and the message loop must get its turn in between.
        for (auto n = queue_.size(); n > 0 && runOne(lock); --n) {
        }
    }
    if (failed_)
        std::rethrow_exception(std::exchange(failed_, nullptr));
}

void UiCallQueue::serveUntil(const std::function<bool()>& finished) {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (runOne(lock)) {
        }
        if (finished() || closed_)
            return;
        const std::uint64_t seen = notifications_;
        changed_.wait(lock, [&] { return !queue_.empty() || notifications_ != seen || closed_; });
    }
}

void UiCallQueue::notify() {
    {
        std::lock_guard lock(mutex_);
        ++notifications_;
    }
    changed_.notify_all();
}

bool UiCallQueue::waitForCall(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return !queue_.empty() || closed_; }) &&
           !queue_.empty();
}

void UiCallQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
    }
    changed_.notify_all();
}

} // namespace hidcontroller
