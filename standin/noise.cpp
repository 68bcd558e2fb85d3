#include "standin/noise.h"

#include <cmath>
#include <numbers>

namespace standin {

double GaussianNoise::next() {
    if (rms_ == 0.0)
        return 0.0;
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_ * rms_;
    }
    // Box-Muller on two 32-bit draws; u1 is never 0, so the logarithm is finite.
    constexpr double scale = 4294967296.0;
    const double u1 = (static_cast<double>(engine_()) + 1.0) / scale;
    const double u2 = static_cast<double>(engine_()) / scale;
    const double r = std::sqrt(-2.0 * std::log(u1));
    const double a = 2.0 * std::numbers::pi * u2;
    spare_ = r * std::sin(a);
    haveSpare_ = true;
    return r * std::cos(a) * rms_;
}

} // namespace standin
