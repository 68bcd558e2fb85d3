// What one line of a simulated device carries over time: its zero level, optional
// noise, and signals placed at given sample times (caller-ID bursts, ringing,
// replayed recordings). The line's value at a sample is computed from its time alone.
#pragma once

#include "standin/callerid_burst.h"
#include "standin/noise.h"
#include "standin/wav.h"

#include <cstdint>
#include <vector>

namespace standin {

class LineSignal {
public:
    explicit LineSignal(int zeroLevel = 128, double noiseRms = 0.0, std::uint32_t noiseSeed = 1)
        : zeroLevel_(zeroLevel), noise_(noiseSeed, noiseRms) {}

    // Adds `samples` to the line from sample `start` on; placed signals may overlap.
    void place(std::int64_t start, Signal samples);

    // Zero level plus every signal and the noise at `sample`, clipped to 0..255.
    std::uint8_t valueAt(std::int64_t sample) const;

    int zeroLevel() const { return zeroLevel_; }

private:
    struct Placed {
        std::int64_t start;
        Signal samples;
    };
    int zeroLevel_;
    GaussianNoise noise_;
    std::vector<Placed> placed_;
};

// Ringing as the device's front end sees it: a sine at `frequencyHz` (20 Hz on most
// lines) of the given peak amplitude for `seconds`, ringingLength(seconds) samples.
Signal ringingSignal(double seconds, double amplitude, double frequencyHz = 20.0);
std::size_t ringingLength(double seconds);

// A recording at a chosen level: full scale of the file becomes `level` sample units.
Signal replaySignal(const WavRecording& recording, double level);

// The sample index of a bus time in microseconds (8000 samples per second).
constexpr std::int64_t sampleAtMicroseconds(std::int64_t us) {
    return us * kSampleRate / 1000000;
}

} // namespace standin
