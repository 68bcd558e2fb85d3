#include "standin/noise.h"

#include <cmath>
#include <numbers>

namespace standin {
namespace {

// splitmix64: a good 64-bit mix of a counter, enough for test noise.
std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

double GaussianNoise::at(std::uint64_t index) const {
    if (rms_ == 0.0)
        return 0.0;
    const std::uint64_t bits = mix((static_cast<std::uint64_t>(seed_) << 40) ^ index);
    // Box-Muller on the two 32-bit halves; u1 is never 0, so the logarithm is finite.
    constexpr double scale = 4294967296.0;
    const double u1 = (static_cast<double>(bits >> 32) + 1.0) / scale;
    const double u2 = static_cast<double>(bits & 0xFFFFFFFFu) / scale;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2) * rms_;
}

} // namespace standin
