#include "decoding/capture_correction.h"

#include "signalpath/descramble.h"

namespace decoding {

bool correctAndGate(std::span<int> capture, int position, int zeroLevel,
                    RunningMeanGateParams params) {
    RunningMeanGate gate(params);
    for (int& sample : capture) {
        const auto raw = static_cast<signalpath::RawSample>(sample);
        sample = signalpath::descramble(position, raw) - zeroLevel;
        if (!gate.admit(sample))
            return false;
    }
    return true;
}

} // namespace decoding
