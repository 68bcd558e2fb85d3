// What the CRM control's and the recorder's supervision ticks share: the guard
// against a tick entered again (a form's timer handler may let the window
// process messages, a recording or a host's event handler, which can fire the
// timer while the tick still runs), and the tick's report reads.
#pragma once

#include "devicelink/hid_module.h"

#include <array>

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

// Per device (1, 2), whether this tick has lost it; cleared as a tick starts,
// before any of its reads (calibration, line watch, capture).
using LostThisTick = std::array<bool, 2>;

// Reads the next input report of `device`, unless this tick has lost it or the
// device is already marked lost (its reading handle closed by a time-out, or
// never opened): such a read would only wait out its 500 ms and fail, changing
// nothing but the detected flag, so the flag is cleared at once and the buffer's
// content stands for the report. So no tick waits more than one read limit for a
// device. False when the device is lost for the rest of the tick.
bool readReportInTick(HIDmodule& link, int device, LostThisTick& lost);

} // namespace devicelink
