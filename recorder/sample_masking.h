// How the recorder stores a sample so that a signal file is not plain sample data:
// each value becomes a pair (masked byte, key) with a key of its own, and the
// reader's inverse restores the value exactly.
#pragma once

#include <cstdint>
#include <functional>

namespace recorder {

// Values below the floor are stored as the floor; no stored byte is ever below it,
// so a record never holds a quotation mark, carriage return or line feed.
inline constexpr int SampleFloor = 35;
inline constexpr int MinMaskKey = 35;
inline constexpr int MaxMaskKey = 255;

// The run time's generator as the masking uses it: reseeded from the time of day
// before every attempt. A reseed must not restart the sequence, so reseeds within
// one clock reading still give fresh draws.
class RandomGenerator {
public:
    virtual ~RandomGenerator() = default;
    virtual void Randomize() = 0; // seed from the time of day
    virtual double Rnd() = 0;     // the next uniform value in [0, 1)
};

// A RandomGenerator over a 64-bit mixing generator; Randomize folds the clock's
// reading into the current state instead of replacing it. The clock defaults to the
// system clock's nanoseconds.
class ClockSeededRandom final : public RandomGenerator {
public:
    explicit ClockSeededRandom(std::function<std::uint64_t()> clock = {});
    void Randomize() override;
    double Rnd() override;

private:
    std::uint64_t next();
    std::function<std::uint64_t()> clock_;
    std::uint64_t state_;
};

struct SamplePair {
    std::uint8_t MaskedSample = 0;
    std::uint8_t MaskKey = 0;
    friend bool operator==(const SamplePair&, const SamplePair&) = default;
};

// The key of one attempt from a generator value r: r * 255 to the nearest integer
// (halves to the even neighbour), plus 35 when below 35. A value outside [0, 1) is
// held to that range.
int MaskKeyFrom(double r);

// The two 4-bit halves of (v XOR key) exchanged.
constexpr int MaskWithKey(int v, int key) {
    const int x = (v ^ key) & 0xFF;
    return (x % 16) * 16 + x / 16;
}

// sinyal_kayit_maskele: masks a sample value 35..255, drawing keys until the masked
// byte is at least 35 (never skipping the sample).
SamplePair sinyal_kayit_maskele(int v, RandomGenerator& random);

// The reader's inverse: halves of m exchanged, then XOR k. Restores every pair the
// writer produces; any other pair gives some value 0..255.
constexpr int UnmaskSample(int m, int k) {
    const int swapped = ((m & 0x0F) << 4) | ((m >> 4) & 0x0F);
    return (swapped ^ k) & 0xFF;
}

} // namespace recorder
