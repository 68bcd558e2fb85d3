// The re-entry guard of a supervision tick: a form's timer handler may let the
// window process messages (a recording, a host's event handler), which can fire
// the timer again while the tick still runs.
#pragma once

namespace devicelink {

// Marks a tick as running for its lifetime. Construct it only after checking
// that the flag is clear; a tick entered again returns at once.
class TickGuard {
public:
    explicit TickGuard(bool& inTick) : inTick_(inTick) { inTick_ = true; }
    ~TickGuard() { inTick_ = false; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

private:
    bool& inTick_;
};

} // namespace devicelink
