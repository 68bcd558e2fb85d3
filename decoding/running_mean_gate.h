// The decoders' refusal of a capture that is too quiet: the mean absolute
// amplitude, with a start credit, must stay at or above a floor after every sample.
#pragma once

#include <span>

namespace decoding {

struct RunningMeanGateParams {
    float startCredit = 15.0f; // the first three tests cannot fail with a floor of 5
    float minimumMean = 5.0f;
};

// Tests the samples one at a time, in order; the running sum and the mean are
// single precision, as the decoders have always kept them.
class RunningMeanGate {
public:
    explicit RunningMeanGate(RunningMeanGateParams params = {})
        : params_(params), sum_(params.startCredit) {}

    // Takes sample x(i) for the next i; false when the mean falls below the floor.
    // Float operations on these integer-valued operands round exactly as the
    // double results rounded to single precision would.
    bool admit(int x) {
        sum_ += static_cast<float>(x < 0 ? -x : x);
        ++count_;
        const float mean = sum_ / static_cast<float>(count_);
        return !(mean < params_.minimumMean);
    }

    // The whole gate over samples that are already corrected.
    static bool passes(std::span<const int> samples, RunningMeanGateParams params = {}) {
        RunningMeanGate gate(params);
        for (int x : samples)
            if (!gate.admit(x))
                return false;
        return true;
    }

private:
    RunningMeanGateParams params_;
    float sum_;
    int count_ = 0;
};

} // namespace decoding
