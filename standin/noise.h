// Reproducible white Gaussian noise for the stand-in's signals: the same seed
// gives the same samples in every build (the generator and the transform are ours,
// not the standard library's unspecified distributions).
#pragma once

#include <cstdint>
#include <random>

namespace standin {

class GaussianNoise {
public:
    explicit GaussianNoise(std::uint32_t seed, double rms) : engine_(seed), rms_(rms) {}

    // The next noise value; 0 when the rms is 0.
    double next();

private:
    std::mt19937 engine_;
    double rms_;
    double spare_ = 0.0;
    bool haveSpare_ = false;
};

} // namespace standin
