// The first step of every line decoder's run over a capture: the raw samples become
// zero-corrected values in place, and the running-mean gate tests each one as it is
// made, so that a quiet capture is refused at the first sample where it falls short.
#pragma once

#include "decoding/running_mean_gate.h"

#include <span>

namespace decoding {

// capture(i) := descramble(position, capture(i)) - zeroLevel, for i in order until the
// gate fails. True when it passed after every sample; on false the entries up to the
// failing sample hold corrected values and the rest stay raw.
[[nodiscard]] bool correctAndGate(std::span<int> capture, int position, int zeroLevel,
                                  RunningMeanGateParams params = {});

} // namespace decoding
