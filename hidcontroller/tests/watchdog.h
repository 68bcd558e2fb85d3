// A watchdog for tests of stops, hand-overs and nested message loops: a test that
// blocks past its limit ends the test program with a message, so that a hang fails
// instead of stalling the run. Portable: the Windows host tests use it too.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace hidcontroller::testing {

class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit) {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!done_.wait_for(lock, limit, [this] { return stopped_; })) {
                std::fprintf(stderr, "watchdog: the test blocked for more than %d s\n",
                             static_cast<int>(limit.count()));
                std::abort();
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool stopped_ = false;
    std::thread thread_;
};

} // namespace hidcontroller::testing
