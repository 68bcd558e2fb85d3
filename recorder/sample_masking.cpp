#include "recorder/sample_masking.h"

#include <chrono>
#include <cmath>

namespace recorder {

namespace {

// splitmix64's finaliser: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t systemNanoseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
}

} // namespace

ClockSeededRandom::ClockSeededRandom(std::function<std::uint64_t()> clock)
    : clock_(clock ? std::move(clock) : systemNanoseconds), state_(mix(clock_())) {}

void ClockSeededRandom::Randomize() {
    state_ = mix(state_ ^ mix(clock_()));
}

std::uint64_t ClockSeededRandom::next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return mix(state_);
}

double ClockSeededRandom::Rnd() {
    // The top 53 bits as a fraction: exactly representable, always below 1.
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

int MaskKeyFrom(double r) {
    if (!(r >= 0.0))
        r = 0.0;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    int key = static_cast<int>(std::nearbyint(r * 255.0));
    if (key > MaxMaskKey)
        key = MaxMaskKey;
    if (key < MinMaskKey)
        key += MinMaskKey;
    return key;
}

SamplePair sinyal_kayit_maskele(int v, RandomGenerator& random) {
    for (;;) {
        random.Randomize();
        const int key = MaskKeyFrom(random.Rnd());
        const int masked = MaskWithKey(v, key);
        if (masked >= SampleFloor)
            return {static_cast<std::uint8_t>(masked), static_cast<std::uint8_t>(key)};
    }
}

} // namespace recorder
