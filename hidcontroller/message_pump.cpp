#include "hidcontroller/message_pump.h"

#include "platform/types.h"

namespace hidcontroller {

class MessagePump::Window final : public NotificationWindow {
public:
    Window(MessagePump& pump, int id) : pump_(pump), id_(id) {}
    ~Window() override { pump_.destroyWindow(id_); }
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        pump_.post({id_, message, wParam, lParam});
    }

private:
    MessagePump& pump_;
    int id_;
};

MessagePump::MessagePump(platform::SimulatedBus* bus) : bus_(bus) {
    calls_.setWake([this] { posted_.notify_all(); });
    if (bus_)
        listener_ = bus_->addDeviceChangeListener([this] { broadcastDeviceChange(); });
}

MessagePump::~MessagePump() {
    if (bus_)
        bus_->removeDeviceChangeListener(listener_);
    calls_.close();
}

std::unique_ptr<NotificationWindow> MessagePump::createNotificationWindow(WindowProc proc) {
    std::lock_guard lock(mutex_);
    const int id = nextWindow_++;
    windows_.emplace(id, std::move(proc));
    return std::make_unique<Window>(*this, id);
}

void MessagePump::destroyWindow(int id) {
    std::lock_guard lock(mutex_);
    windows_.erase(id);
}

void MessagePump::post(Message m) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(m);
    }
    posted_.notify_all();
}

void MessagePump::broadcastDeviceChange() {
    std::vector<int> ids;
    {
        std::lock_guard lock(mutex_);
        // Newest window first, as Windows delivers a broadcast to top-level windows in
        // z-order, on top of which a new window is made.
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
            ids.push_back(it->first);
    }
    for (int id : ids)
        post({id, platform::kWmDeviceChange, platform::kDbtDevNodesChanged, 0});
}

bool MessagePump::dispatchOne() {
    WindowProc proc;
    Message m{};
    {
        std::lock_guard lock(mutex_);
        if (messages_.empty())
            return false;
        m = messages_.front();
        messages_.pop_front();
        const auto it = windows_.find(m.window);
        if (it == windows_.end())
            return true; // the window went away: its message is dropped
        proc = it->second;
    }
    proc(m.message, m.wParam, m.lParam);
    return true;
}

int MessagePump::runPending() {
    // One round: what is queued now. A streaming reader queues its next call as soon
    // as one has run, so "until nothing is left" might never come.
    std::size_t queued = 0;
    {
        std::lock_guard lock(mutex_);
        queued = messages_.size();
    }
    int n = 0;
    for (; queued > 0 && dispatchOne(); --queued)
        ++n;
    if (calls_.waitForCall(std::chrono::milliseconds(0))) {
        calls_.serve();
        ++n;
    }
    return n;
}

bool MessagePump::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        runPending();
        if (done())
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return false;
        std::unique_lock lock(mutex_);
        // Hand-overs wake this wait too (through the queue's wake); a slice bounds
        // what a wake-up missed between the two checks could cost.
        posted_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(
                                   end - now, std::chrono::milliseconds(5)));
    }
}

} // namespace hidcontroller
