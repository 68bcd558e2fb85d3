#include "standin/line_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace standin {

void LineSignal::place(std::int64_t start, Signal samples) {
    placed_.push_back({start, std::move(samples)});
}

std::uint8_t LineSignal::valueAt(std::int64_t sample) const {
    double v = zeroLevel_ + noise_.at(static_cast<std::uint64_t>(sample));
    for (const auto& p : placed_) {
        const std::int64_t i = sample - p.start;
        if (i >= 0 && i < static_cast<std::int64_t>(p.samples.size()))
            v += p.samples[static_cast<std::size_t>(i)];
    }
    return static_cast<std::uint8_t>(std::clamp<long>(std::lround(v), 0, 255));
}

std::size_t ringingLength(double seconds) {
    return static_cast<std::size_t>(std::lround(seconds * kSampleRate));
}

Signal ringingSignal(double seconds, double amplitude, double frequencyHz) {
    const std::size_t count = ringingLength(seconds);
    Signal out(count);
    for (std::size_t n = 0; n < count; ++n)
        out[n] = static_cast<int>(std::lround(
            amplitude * std::sin(2.0 * std::numbers::pi * frequencyHz * double(n) / kSampleRate)));
    return out;
}

Signal replaySignal(const WavRecording& recording, double level) {
    Signal out;
    out.reserve(recording.samples.size());
    for (const double s : recording.samples)
        out.push_back(static_cast<int>(std::lround(s * level)));
    return out;
}

} // namespace standin
