// Reproducible white Gaussian noise for the stand-in's signals. Each value is a pure
// function of the seed and the sample index, so a line's noise at a given time is
// the same however its reports are asked for, and in every build.
#pragma once

#include <cstdint>

namespace standin {

class GaussianNoise {
public:
    GaussianNoise(std::uint32_t seed, double rms) : seed_(seed), rms_(rms) {}

    // The noise value of sample `index`; 0 when the rms is 0.
    double at(std::uint64_t index) const;

private:
    std::uint32_t seed_;
    double rms_;
};

} // namespace standin
